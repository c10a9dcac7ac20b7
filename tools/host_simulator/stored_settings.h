// The settings a user has stored for each deliverable, kept aside before the
// simulator runs a driver and put back after it: Destroy writes the instance's
// key mode and channel, and a demonstration must not change what the user's
// real host starts with next time.
#pragma once

#include <cstdint>
#include <string>
#include <vector>
#include <windows.h>

#include "tools/host_simulator/keypad_families.h"

// Where a DLL keeps them: under HKEY_CURRENT_USER, "Lorendel", its child
// "QP240_Remote" and the family's own key, named by its GUID, each a path
// here, outermost first.
inline constexpr int kStoredKeyLevels = 3;
std::vector<std::string> SettingsKeyPaths(const KeypadFamily& family);
std::string SettingsKeyPath(const KeypadFamily& family);  // the family's own

// The two values, 4-byte REG_BINARY each: the key mode and the 0-based channel.
inline constexpr int kStoredValueCount = 2;
inline constexpr char kStoredKeyModeValue[] = "GenStatus";
inline constexpr char kStoredChannelValue[] = "Channel";

struct StoredValue {
    bool present;
    DWORD type;
    std::vector<uint8_t> bytes;
};

struct StoredSettings {
    const KeypadFamily* family;
    bool keyExisted[kStoredKeyLevels];  // whether each key along the path existed
    StoredValue values[kStoredValueCount];
};

// One simulator run at a time per user keeps the stored settings aside: a
// second run that read them while the first had changed them would put back
// the first one's values at its end, and its Destroys would write over what
// the first one's checks read. Waits for a run already under way (saying so
// on stderr); the answer is let go of after the restore.
HANDLE StoredSettingsClaim();
void StoredSettingsLetGo(HANDLE claim);

StoredSettings StoredSettingsRead(const KeypadFamily& family);
// Writes back each value as read, deletes what was not there, and removes the
// keys the run created where they hold nothing else.
void StoredSettingsRestore(const StoredSettings& saved);
