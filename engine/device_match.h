// The match rule: which raw-input device is a keypad of a deliverable's family.
// Pure, so the host simulator can tell which device each deliverable would
// take without loading it.
#pragma once

#include <cstdint>

#include "base/variant_profile.h"

inline constexpr uint32_t kRawInputTypeHid = 2;  // RIM_TYPEHID

// What the rule looks at in a device's RID_DEVICE_INFO.
struct RawDeviceIdentity {
    uint32_t type;  // dwType
    uint32_t vendorId;
    uint32_t productId;
    uint16_t usagePage;
    uint16_t usage;
};

constexpr bool DeviceMatchesFamily(const VariantProfile& profile, const RawDeviceIdentity& device) {
    if (device.type != kRawInputTypeHid || device.vendorId != QP240REMOTE_KEYPAD_VENDOR_ID ||
        device.usagePage != QP240REMOTE_KEYPAD_USAGE_PAGE ||
        device.usage != QP240REMOTE_KEYPAD_USAGE)
        return false;
    for (int32_t i = 0; i < profile.productIdCount; ++i)
        if (device.productId == profile.productIds[i])
            return true;
    return false;
}
