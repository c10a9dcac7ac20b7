#include "config/settings.h"

#include "driver/driver_instance.h"

LibraryDefaults g_libraryDefaults = {0, 0, 0};

void LoadSettings() {}

void SaveSettings(const DriverInstance* instance) {
    g_libraryDefaults.keyMode = instance->keyMode.load(std::memory_order_relaxed);
    g_libraryDefaults.midiChannel = instance->midiChannel.load(std::memory_order_relaxed);
}
