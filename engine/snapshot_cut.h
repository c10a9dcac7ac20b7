// Cutting the key-state snapshot out of a keypad's input report, in the layout
// of the keypad's family and model. Pure and allocation-free; the intake calls
// it on the host's report-reading thread.
#pragma once

#include <cstdint>

#include "driver/variant_profile.h"

// Offsets in the input-report record the host passes with id 55 (the layout of
// the system's RAWINPUT record of a HID device on 64-bit Windows).
inline constexpr uint32_t kRecordDeviceOffset = 8;       // hDevice, 8 bytes
inline constexpr uint32_t kRecordReportSizeOffset = 24;  // dwSizeHid, 4 bytes, unsigned
inline constexpr uint32_t kRecordReportOffset = 32;      // bRawData: report byte 0

// Fills `snapshot` (profile.keyCount bytes) from `report`, whose stated length
// is `reportLength` bytes, for a keypad of USB product `productId`. Returns 0,
// or the family's too-short status (-2 for 32 keys; -12 or -13 for 15 keys)
// with `snapshot` untouched.
int32_t CutKeySnapshot(const VariantProfile& profile, const uint8_t* report, uint32_t reportLength,
                       uint32_t productId, uint8_t* snapshot);
