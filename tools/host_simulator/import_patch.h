// A loaded module's import address table, entry by entry: one imported
// system function of a DLL under watch or under test is replaced by a function
// of the host's own, so the shipped code runs unchanged (down its real failure
// paths, for fault injection) while the rest of the process keeps the real one.
#pragma once

#include <windows.h>

// Replaces the import table entry of `module` for `function` from `dll`
// (the DLL name compared without case) with `replacement`. Returns the entry's
// previous value, or null when the module does not import that function by
// name. Call again with the previous value to put it back.
void* ReplaceImport(HMODULE module, const char* dll, const char* function, void* replacement);
