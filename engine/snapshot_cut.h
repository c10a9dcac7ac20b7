// Cutting the key-state snapshot out of a keypad's input report, in the layout
// of the keypad's family and model. Pure and allocation-free; the intake calls
// it on the host's report-reading thread.
#pragma once

#include <cstdint>
#include <cstring>

#include "base/variant_profile.h"

// Offsets in the input-report record the host passes with id 55.
inline constexpr uint32_t kRecordDeviceOffset = QP240REMOTE_RAWINPUT_DEVICE_OFFSET;
inline constexpr uint32_t kRecordReportSizeOffset = QP240REMOTE_RAWINPUT_REPORT_SIZE_OFFSET;
inline constexpr uint32_t kRecordReportOffset = QP240REMOTE_RAWINPUT_REPORT_OFFSET;

// Keys per row on the models whose rows arrive reversed.
inline constexpr int32_t kReversedRowLength = 5;

// Fills `snapshot` (profile.keyCount bytes) from `report`, whose stated length
// is `reportLength` bytes, for a keypad of USB product `productId`. Returns
// QP240REMOTE_OK, or the profile's too-short status with `snapshot` untouched.
// Inline: on the report path the intake gives it the deliverable's constant
// profile, and the cut folds to one fixed-size copy.
inline int32_t CutKeySnapshot(const VariantProfile& profile, const uint8_t* report,
                              uint32_t reportLength, uint32_t productId, uint8_t* snapshot) {
    if (reportLength < profile.minimumReportLength)
        return profile.tooShortStatus;
    if (profile.reversedRowsProduct != 0 && productId == profile.reversedRowsProduct) {
        // Keys sit in report bytes 1..15, each row of five right to left: key
        // k comes from byte 5 * (k div 5) + 5 - (k mod 5).
        for (int32_t k = 0; k < profile.keyCount; ++k)
            snapshot[k] = report[kReversedRowLength * (k / kReversedRowLength) +
                                 kReversedRowLength - k % kReversedRowLength];
        return QP240REMOTE_OK;
    }
    if (reportLength < profile.minimumKeyBytesFrom4Length)
        return profile.tooShortFrom4Status;
    std::memcpy(snapshot, report + 4, static_cast<size_t>(profile.keyCount));
    return QP240REMOTE_OK;
}
