// Watches a loaded driver's use of the C heap by redirecting the entries of
// its import table for malloc, calloc, realloc, _strdup and free: counts the
// allocations it makes while armed, keeps the blocks and bytes it holds, and
// tells when and on which thread it frees one watched block. Only the patched
// module's own calls are seen. Used by the simulator's --count-allocations and
// by the tests.
#pragma once

#include <cstdint>
#include <windows.h>

// Redirects `module`'s heap imports (from msvcrt.dll); safe to repeat for the
// same or another module. False when the module imports none of them.
bool HeapWatchInstall(HMODULE module);
// While armed, every allocation through a redirected import is counted.
void HeapWatchArm(bool armed);
int32_t HeapWatchAllocations();
void HeapWatchResetCount();
// What the patched modules hold: blocks they allocated minus blocks they
// freed, and the same in bytes (as the heap sizes each block), counted from
// the first install on, armed or not. Only differences between two readings
// mean anything: a module may free blocks it got before it was patched.
struct HeapWatchHeld {
    int64_t blocks;
    int64_t bytes;
};
HeapWatchHeld HeapWatchHeldSoFar();
// Remembers `block`; HeapWatchFreedOn then answers the id of the thread that
// freed it, or 0 while it has not been freed.
void HeapWatchFree(const void* block);
DWORD HeapWatchFreedOn();
