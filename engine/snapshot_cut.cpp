#include "engine/snapshot_cut.h"

#include <cstring>

// Keys per row on the models whose rows arrive reversed.
static constexpr int32_t kReversedRowLength = 5;

int32_t CutKeySnapshot(const VariantProfile& profile, const uint8_t* report, uint32_t reportLength,
                       uint32_t productId, uint8_t* snapshot) {
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
