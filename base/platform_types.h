// Handle types for records that both the Windows build and the native test
// build compile. Natively they are opaque pointers: the native code stores and
// compares them but never calls the system with them.
#pragma once

#ifdef _WIN32
// Every file of the project takes <windows.h> through here: without the rarely
// used parts, and without the min and max macros that break std::min/std::max.
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#else
#include <cstdint>

typedef void* HANDLE;
typedef void* HWND;
typedef uint32_t DWORD;
// A slim reader/writer lock's and a condition variable's one word; natively
// they are only stored, never taken or waited on.
struct SRWLOCK {
    void* Ptr;
};
struct CONDITION_VARIABLE {
    void* Ptr;
};
#endif
