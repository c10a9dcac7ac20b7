// Per-user persistence of the key mode and the MIDI channel, and the
// library-wide defaults new instances start from.
#pragma once

#include <cstdint>

struct DriverInstance;

struct LibraryDefaults {
    int32_t keyMode;      // "GenStatus"
    int32_t midiChannel;  // "Channel"
    int32_t padBank;      // never stored: stays 0
};

// Library-wide; zero at load. Touched only by Init, Create, ResetContext and
// Destroy on the caller's thread.
extern LibraryDefaults g_libraryDefaults;

// Init, last step: the stored values, where valid ones exist, become the defaults.
void LoadSettings();
// Destroy, first step: the instance's key mode and channel become the defaults
// and are written to the registry. Registry failures are not reported.
void SaveSettings(const DriverInstance* instance);
