// The settings a user has stored for each deliverable, kept aside before the
// simulator runs a driver and put back after it: Destroy writes the instance's
// key mode and channel, and a demonstration must not change what the user's
// real host starts with next time.
#pragma once

#include <cstdint>
#include <vector>

#include "driver/platform_types.h"
#include "driver/variant_profile.h"

struct StoredValue {
    bool present;
    DWORD type;
    std::vector<uint8_t> bytes;
};

struct StoredSettings {
    const VariantProfile* profile;
    // Whether each key along the path existed: "Lorendel", its child, the
    // deliverable's own key.
    bool keyExisted[3];
    StoredValue values[2];  // "GenStatus", "Channel"
};

StoredSettings StoredSettingsRead(const VariantProfile& profile);
// Writes back each value as read, deletes what was not there, and removes the
// keys the run created where they hold nothing else.
void StoredSettingsRestore(const StoredSettings& saved);
