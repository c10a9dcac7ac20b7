#include "config/settings.h"

#include "base/platform_types.h"
#include "base/variant_profile.h"
#include "config/settings_key.h"
#include "engine/instance_settings.h"

LibraryDefaults g_libraryDefaults = {0, 0, 0};

// Guards the defaults and the registry values together. Held across the
// registry calls of one load or save (a few key opens and value writes, none
// of which needs the loader lock), never across a host call.
static SRWLOCK g_settingsLock = SRWLOCK_INIT;

// One value into `target`, with a fresh open of the key. The key is never
// created here: a first run leaves the registry as it found it.
static void LoadSettingsValue(const char* keyPath, const char* valueName, int32_t* target) {
    DWORD type = REG_BINARY;
    DWORD size = kSettingsValueSize;
    // Zeroed first: a binary value shorter than 4 bytes fills only its own
    // bytes, and the rest must not be stack garbage.
    uint8_t bytes[kSettingsValueSize] = {0, 0, 0, 0};
    HKEY key = nullptr;
    if (RegOpenKeyA(HKEY_CURRENT_USER, keyPath, &key) != ERROR_SUCCESS)
        return;
    const LONG result = RegQueryValueExA(key, valueName, nullptr, &type, bytes, &size);
    RegCloseKey(key);
    // Any other type, and a value too long for the buffer (ERROR_MORE_DATA),
    // leave the default as it was. No range check: what is stored is taken.
    if (result == ERROR_SUCCESS && type == REG_BINARY)
        *target = SettingsValueFromBytes(bytes);
}

void LoadSettings() {
    char keyPath[kSettingsKeyPathSize];
    FormatSettingsKeyPath(kProfile.guid, keyPath);
    AcquireSRWLockExclusive(&g_settingsLock);
    LoadSettingsValue(keyPath, kSettingsKeyModeValue, &g_libraryDefaults.keyMode);
    LoadSettingsValue(keyPath, kSettingsChannelValue, &g_libraryDefaults.midiChannel);
    ReleaseSRWLockExclusive(&g_settingsLock);
}

// One value, with its own open (or create) of the key. A key that can be
// neither opened nor created skips the value; the write's result is not
// examined, since nothing reports registry failures.
static void SaveSettingsValue(const char* keyPath, const char* valueName, int32_t value) {
    HKEY key = nullptr;
    if (RegOpenKeyA(HKEY_CURRENT_USER, keyPath, &key) != ERROR_SUCCESS &&
        RegCreateKeyA(HKEY_CURRENT_USER, keyPath, &key) != ERROR_SUCCESS)
        return;
    uint8_t bytes[kSettingsValueSize];
    SettingsValueToBytes(value, bytes);
    RegSetValueExA(key, valueName, 0, REG_BINARY, bytes, kSettingsValueSize);
    RegCloseKey(key);
}

void SaveSettings(const InstanceSettings* settings) {
    // The defaults take the values first, so a registry that cannot be
    // written still hands them to the next instance of this process.
    const int32_t keyMode = settings->keyMode.load(std::memory_order_relaxed);
    const int32_t midiChannel = settings->midiChannel.load(std::memory_order_relaxed);
    char keyPath[kSettingsKeyPathSize];
    FormatSettingsKeyPath(kProfile.guid, keyPath);

    AcquireSRWLockExclusive(&g_settingsLock);
    g_libraryDefaults.keyMode = keyMode;
    g_libraryDefaults.midiChannel = midiChannel;
    SaveSettingsValue(keyPath, kSettingsKeyModeValue, keyMode);
    SaveSettingsValue(keyPath, kSettingsChannelValue, midiChannel);
    ReleaseSRWLockExclusive(&g_settingsLock);
}

LibraryDefaults ReadLibraryDefaults() {
    AcquireSRWLockShared(&g_settingsLock);
    const LibraryDefaults defaults = g_libraryDefaults;
    ReleaseSRWLockShared(&g_settingsLock);
    return defaults;
}
