// Cutting the key-state snapshot out of a keypad's input report, in the layout
// of the keypad's family and model. Pure and allocation-free; the intake calls
// it on the host's report-reading thread.
#pragma once

#include <cstdint>

#include "driver/variant_profile.h"

// Offsets in the input-report record the host passes with id 55.
inline constexpr uint32_t kRecordDeviceOffset = QP240REMOTE_RAWINPUT_DEVICE_OFFSET;
inline constexpr uint32_t kRecordReportSizeOffset = QP240REMOTE_RAWINPUT_REPORT_SIZE_OFFSET;
inline constexpr uint32_t kRecordReportOffset = QP240REMOTE_RAWINPUT_REPORT_OFFSET;

// Fills `snapshot` (profile.keyCount bytes) from `report`, whose stated length
// is `reportLength` bytes, for a keypad of USB product `productId`. Returns
// QP240REMOTE_OK, or the profile's too-short status with `snapshot` untouched.
int32_t CutKeySnapshot(const VariantProfile& profile, const uint8_t* report, uint32_t reportLength,
                       uint32_t productId, uint8_t* snapshot);
