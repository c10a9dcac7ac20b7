// The state one loaded library shares among all its instances and threads,
// without locks. Attach, Init and End write it; Create, Start and the box's
// open read it. The last-error text is the exception: every export with a
// handle may write it ("Object not created") from any host thread.
#pragma once

#include <cstdint>

#include "base/platform_types.h"
#include "engine/raw_input.h"

inline constexpr size_t kLastErrorTextSize = 512;

struct LibraryState {
    HMODULE module;              // recorded at process attach, else by Init
    int32_t initialised;         // set by Init, never cleared
    int32_t toolkitStarted;      // Init started the toolkit and End still owes it an end
    int32_t boxClassRegistered;  // Init registered the box class and no End came since
    RawInputCalls rawInput;      // looked up by Init, each or null; handed to Start
    char lastErrorText[kLastErrorTextSize];  // "no-error" at load
};

extern LibraryState g_library;

inline constexpr char kErrorObjectNotCreated[] = "Object not created";
inline constexpr char kErrorNotInitialized[] = "Library is not initialized";

// Copies `text` with its terminating zero over the start of the error buffer;
// the rest of the buffer keeps whatever it held.
void SetLastErrorText(const char* text);
