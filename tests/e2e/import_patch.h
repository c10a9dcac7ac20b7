// Fault injection through a loaded DLL's import address table: one imported
// system function of the DLL under test is replaced by a function of the
// test's own, so the shipped code runs unchanged down its real failure paths
// while the rest of the process keeps the real function.
#pragma once

#include <windows.h>

// Replaces `module`'s import of `dll`!`function` (names compared without regard
// to case) with `replacement`. Returns the previous entry, or null when the
// module does not import that function. Call again with the previous entry to
// put it back.
void* PatchImport(HMODULE module, const char* dll, const char* function, void* replacement);
