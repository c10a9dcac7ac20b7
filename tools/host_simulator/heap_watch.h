// Watches a loaded driver's use of the C heap by redirecting the entries of
// its import table for malloc, calloc, realloc, _strdup and free: counts the
// allocations it makes while armed, and tells when and on which thread it
// frees one watched block. Only the patched module's own calls are seen.
// Used by the simulator's --count-allocations and by the tests.
#pragma once

#include <cstdint>

#include "driver/platform_types.h"

// Redirects `module`'s heap imports (from msvcrt.dll); safe to repeat for the
// same or another module. False when the module imports none of them.
bool HeapWatchInstall(HMODULE module);
// While armed, every allocation through a redirected import is counted.
void HeapWatchArm(bool armed);
int32_t HeapWatchAllocations();
void HeapWatchResetCount();
// Remembers `block`; HeapWatchFreedOn then answers the id of the thread that
// freed it, or 0 while it has not been freed.
void HeapWatchFree(const void* block);
DWORD HeapWatchFreedOn();

// Replaces the import table entry of `module` for `function` from `dll`
// (compared without case) with `replacement`. Returns the entry's previous
// value, or null when the module does not import that function by name.
void* ReplaceImport(HMODULE module, const char* dll, const char* function, void* replacement);
