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
typedef void* HANDLE;
typedef void* HWND;
// A slim reader/writer lock's one word; natively it is only stored, never taken.
struct SRWLOCK {
    void* Ptr;
};
#endif
