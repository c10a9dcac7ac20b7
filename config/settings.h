// Per-user persistence of the key mode and the MIDI channel, and the
// library-wide defaults new instances start from.
#pragma once

#include <cstdint>

struct InstanceSettings;

struct LibraryDefaults {
    int32_t keyMode;      // "GenStatus"
    int32_t midiChannel;  // "Channel"
    int32_t padBank;      // never stored: stays 0
};

// Library-wide; zero at load. Read and written only through the calls below,
// which take the settings lock, so that the defaults and the stored values
// always hold one instance's pair, however many Destroys run at once.
extern LibraryDefaults g_libraryDefaults;

// Init, last step: the stored values, where valid ones exist, become the defaults.
void LoadSettings();
// Destroy, first step: the instance's key mode and channel become the defaults
// and are written to the registry, as one step against other Destroys, Creates
// and resets. Registry failures are not reported.
void SaveSettings(const InstanceSettings* settings);
// Create and ResetContext: the defaults as the latest Destroy (or Init) left them.
LibraryDefaults ReadLibraryDefaults();
