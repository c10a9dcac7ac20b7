// Id-55 calls: an input report of the accepted keypad, cut into a key-state
// snapshot and queued for the worker. Runs on the host's report-reading
// thread: it allocates nothing and never waits on the worker.
//
// The ring admits one producer. A host may read one keypad on several threads,
// so the intake serialises its callers with a producers' guard, which is also
// the call's hold on the instance (engine/instance_lifetime.h): the free takes
// the guard and keeps it, retired, so a call inside it finishes first and a
// later one is refused. The host's record is copied to the stack before the
// guard is taken, so a record that faults leaves no guard held. A caller that
// finds the guard held through kProducerGuardYields yields drops its snapshot
// as a full ring would (refused count + 1) rather than hold up the host.
#pragma once

#include <atomic>
#include <cstdint>
#include <cstring>

#include "base/variant_profile.h"
#include "include/qp240_remote.h"

struct KeypadEngine;

inline constexpr int32_t kProducerGuardYields = 1000;

// The producers' guard's values: free, held by an id-55 call or by the free
// on its way in, and retired (the record is freed).
inline constexpr int32_t kIntakeFree = 0;
inline constexpr int32_t kIntakeHeld = 1;
inline constexpr int32_t kIntakeRetired = 2;

// The cut: the key-state snapshot out of a keypad's input report, in the
// layout of the keypad's family and model. Pure and allocation-free.

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

// Id 55 after the signature check, answering as the public header says;
// QP240REMOTE_E_BAD_HANDLE when Destroy has claimed the instance or its
// created bit is clear.
int32_t ReportIntake(KeypadEngine* engine, const void* record);

// The free of the instance (KeypadEngineFree): waits for a call inside the
// guard and retires it.
void ReportIntakeRetire(KeypadEngine* engine);

// Test seam of the test builds (the deliverables have none): when set, called
// between a call's checks and its push, so that a test can renew the
// connection under a call held there.
#ifdef KOLMAR_TEST_SEAMS
extern void (*g_reportIntakeBeforePush)(KeypadEngine* engine);
#endif
