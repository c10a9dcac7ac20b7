// The settings a user has stored for each deliverable, kept aside before the
// simulator runs a driver and put back after it: Destroy writes the instance's
// key mode and channel, and a demonstration must not change what the user's
// real host starts with next time.
#pragma once

#include <cstdint>
#include <vector>

#include "toolkit/platform_types.h"
#include "driver/variant_profile.h"

struct StoredValue {
    bool present;
    DWORD type;
    std::vector<uint8_t> bytes;
};

// "Lorendel", its child "QP240_Remote", the deliverable's own key.
inline constexpr int kStoredKeyLevels = 3;
// "GenStatus", "Channel".
inline constexpr int kStoredValueCount = 2;

struct StoredSettings {
    const VariantProfile* profile;
    bool keyExisted[kStoredKeyLevels];  // whether each key along the path existed
    StoredValue values[kStoredValueCount];
};

StoredSettings StoredSettingsRead(const VariantProfile& profile);
// Writes back each value as read, deletes what was not there, and removes the
// keys the run created where they hold nothing else.
void StoredSettingsRestore(const StoredSettings& saved);
