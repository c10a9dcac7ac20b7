#include "engine/report_intake.h"

#include <cstring>

#include "engine/keypad_engine.h"
#include "engine/instance_lifetime.h"
#include "engine/spin_guard.h"

#ifdef KOLMAR_TEST_SEAMS
void (*g_reportIntakeBeforePush)(KeypadEngine* engine) = nullptr;
#endif

// The report bytes any cut of this family reads at most: the keys from byte 4
// on, or bytes 1..15 of the model whose rows arrive reversed.
static constexpr uint32_t kCutBytes = 4 + static_cast<uint32_t>(kProfile.keyCount);

// What the intake needs of the host's record, copied before any guard.
struct RecordCopy {
    HANDLE device;
    uint32_t reportLength;      // as the host states it
    uint8_t report[kCutBytes];  // the first bytes of the report, as many as it has
};

static void CopyRecord(const void* record, RecordCopy* copy) {
    const uint8_t* bytes = static_cast<const uint8_t*>(record);
    std::memcpy(&copy->device, bytes + QP240REMOTE_RAWINPUT_DEVICE_OFFSET, sizeof copy->device);
    std::memcpy(&copy->reportLength, bytes + QP240REMOTE_RAWINPUT_REPORT_SIZE_OFFSET,
                sizeof copy->reportLength);
    // A whole report is the common case: one copy of a size known here.
    if (copy->reportLength >= kCutBytes)
        std::memcpy(copy->report, bytes + QP240REMOTE_RAWINPUT_REPORT_OFFSET, kCutBytes);
    else
        std::memcpy(copy->report, bytes + QP240REMOTE_RAWINPUT_REPORT_OFFSET, copy->reportLength);
}

enum GuardEntry { kGuardEntered, kGuardBusy, kGuardRetired };

// Enters the producers' guard unless it stays held through `yields` yields or
// is retired. A compare-and-swap, never an exchange: a retired guard stays
// retired.
static GuardEntry EnterGuard(std::atomic<int32_t>* guard, int32_t yields) {
    for (int32_t round = 0;; ++round) {
        for (int32_t spin = 0; spin < kSpinGuardSpinsPerYield; ++spin) {
            int32_t value = guard->load(std::memory_order_relaxed);
            if (value == kIntakeRetired)
                return kGuardRetired;
            // Acquire pairs with the release store that let go of the guard
            // last (a producer's, or the worker's ring reset): what it wrote
            // is visible here.
            if (value == kIntakeFree &&
                guard->compare_exchange_weak(value, kIntakeHeld, std::memory_order_acquire,
                                             std::memory_order_relaxed))
                return kGuardEntered;
        }
        if (round >= yields)
            return kGuardBusy;
        SpinGuardYield();
    }
}

// Under the guard: the checks and the push, from the copy.
static int32_t IntakeUnderGuard(KeypadEngine* engine, bool given, const RecordCopy& copy) {
    // Relaxed: a claim or a cleared created bit is final; the guard orders
    // nothing about them.
    if (InstanceClaimed(engine->lifetime) ||
        (engine->flags.load(std::memory_order_relaxed) & kInstanceCreated) == 0)
        return QP240REMOTE_E_BAD_HANDLE;
    // Acquire pairs with the worker's release store of the connected flag
    // (RaiseConnectedFlag): the device handle, the product id and the emptied
    // ring are seen as the worker left them before it raised the flag.
    const int32_t connection = engine->connectedFlag.load(std::memory_order_acquire);
    if (connection == 0)
        return QP240REMOTE_E_NOT_CONNECTED;
    if (!given)
        return QP240REMOTE_E_NULL_DATA;
    // Relaxed: ordered by the acquire load of the connected flag above.
    if (copy.device != engine->deviceHandle.load(std::memory_order_relaxed))
        return QP240REMOTE_E_OTHER_DEVICE;
    uint8_t snapshot[kProfile.keyCount];
    const int32_t status = CutKeySnapshot(kProfile, copy.report, copy.reportLength,
                                          RecordedProductId(engine), snapshot);
    if (status != QP240REMOTE_OK)
        return status;
#ifdef KOLMAR_TEST_SEAMS
    if (g_reportIntakeBeforePush != nullptr)
        g_reportIntakeBeforePush(engine);
#endif
    // Looked at again: the keypad may have been closed meanwhile (the flag
    // falls without the guard). A renewed connection empties the ring under
    // this guard, so it comes before the first check or after the push; the
    // second test below only sees the test seam's. Acquire, as above.
    const int32_t now = engine->connectedFlag.load(std::memory_order_acquire);
    if (now == 0)
        return QP240REMOTE_E_NOT_CONNECTED;
    if (now != connection)
        return QP240REMOTE_E_OTHER_DEVICE;
    ReportQueuePush(&engine->reportQueue, snapshot);
    return QP240REMOTE_OK;
}

int32_t ReportIntake(KeypadEngine* engine, const void* record) {
    RecordCopy copy;
    const bool given = record != nullptr;
    if (given)
        CopyRecord(record, &copy);
    switch (EnterGuard(&engine->producerGuard, kProducerGuardYields)) {
        case kGuardRetired:
            return QP240REMOTE_E_BAD_HANDLE;
        case kGuardBusy:
            // Dropped as by a full ring. Relaxed: a statistic that orders
            // nothing. Only a holder of the record holds the guard (the free
            // goes from free to retired in one step), so the record was alive
            // a moment ago; were it freed since, its memory is still the
            // quarantine's and the count is lost with it.
            engine->reportQueue.refusedCount.fetch_add(1, std::memory_order_relaxed);
            return QP240REMOTE_OK;
        case kGuardEntered:
            break;
    }
    const int32_t answer = IntakeUnderGuard(engine, given, copy);
    SpinGuardRelease(&engine->producerGuard);
    return answer;
}

void ReportIntakeRetire(KeypadEngine* engine) {
    // From free to retired in one step, never through held. Acquire pairs with
    // the release store of the last producer: its push is done before the
    // ring is freed.
    int32_t value = kIntakeFree;
    while (!engine->producerGuard.compare_exchange_weak(
        value, kIntakeRetired, std::memory_order_acquire, std::memory_order_relaxed)) {
        value = kIntakeFree;
        SpinGuardYield();
    }
}
