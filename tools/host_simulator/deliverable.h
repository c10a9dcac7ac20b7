// A loaded deliverable as the host sees it: the module and its sixteen exports,
// resolved by name.
#pragma once

#include <cstddef>
#include <string>
#include <windows.h>

#include "exports/export_list.h"
#include "include/qp240_remote.h"

struct Deliverable {
    HMODULE module;  // null while not loaded
    // One function pointer per name of driver/exports.txt.
#define KOLMAR_EXPORT_FIELD(name) decltype(&QP240REMOTE_##name) name;
    KOLMAR_EXPORTS(KOLMAR_EXPORT_FIELD)
#undef KOLMAR_EXPORT_FIELD
};

// Loads the library at `path` and resolves all sixteen exports. On failure the
// record stays unloaded and `error` says why.
bool DeliverableLoad(Deliverable* deliverable, const char* path, char* error, size_t errorSize);
// Frees the library; safe to repeat.
void DeliverableUnload(Deliverable* deliverable);

// The file name at the end of `path` (after the last backslash or slash).
const char* PathFileName(const char* path);

// The directory of the running program, with a trailing backslash; the
// deliverables are built beside the simulator and the tests.
void ProgramDirectory(char* out, size_t size);

struct KeypadFamily;

// The family's DLL beside the running program.
std::string DeliverablePath(const KeypadFamily& family);

// The family of a loaded deliverable, read from the GUID in its plug
// information; null when it is neither.
const KeypadFamily* DeliverableFamily(const Deliverable& deliverable);
