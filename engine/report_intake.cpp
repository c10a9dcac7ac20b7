#include "engine/report_intake.h"

#include <cstring>

#include "driver/driver_instance.h"
#include "engine/snapshot_cut.h"
#include "engine/spin_guard.h"

#ifdef KOLMAR_TEST_SEAMS
void (*g_reportIntakeBeforePush)(DriverInstance* instance) = nullptr;
#endif

int32_t ReportIntake(DriverInstance* instance, const void* record) {
    // Acquire pairs with the worker's release store of the connected flag
    // (RaiseConnectedFlag): the device handle, the product id and the emptied
    // ring are seen as the worker left them before it raised the flag.
    const int32_t connection = instance->connectedFlag.load(std::memory_order_acquire);
    if (connection == 0)
        return QP240REMOTE_E_NOT_CONNECTED;
    if (record == nullptr)
        return QP240REMOTE_E_NULL_DATA;

    const uint8_t* bytes = static_cast<const uint8_t*>(record);
    HANDLE device;
    std::memcpy(&device, bytes + kRecordDeviceOffset, sizeof device);
    // Relaxed: ordered by the acquire load of the connected flag above.
    if (device != instance->deviceHandle.load(std::memory_order_relaxed))
        return QP240REMOTE_E_OTHER_DEVICE;
    uint32_t reportLength;
    std::memcpy(&reportLength, bytes + kRecordReportSizeOffset, sizeof reportLength);

    uint8_t snapshot[kProfile.keyCount];
    const int32_t status = CutKeySnapshot(kProfile, bytes + kRecordReportOffset, reportLength,
                                          RecordedProductId(instance), snapshot);
    if (status != QP240REMOTE_OK)
        return status;

#ifdef KOLMAR_TEST_SEAMS
    if (g_reportIntakeBeforePush != nullptr)
        g_reportIntakeBeforePush(instance);
#endif
    if (!SpinGuardTryAcquire(&instance->producerGuard, kProducerGuardYields)) {
        // Dropped as by a full ring. Relaxed: a statistic that orders nothing.
        instance->reportQueue.refusedCount.fetch_add(1, std::memory_order_relaxed);
        return QP240REMOTE_OK;
    }
    // Looked at again under the guard: a call held up since the check above
    // may find the keypad gone, or connected anew (another keypad, or the same
    // one again) with the ring emptied; its record belongs to a connection
    // that is over. Acquire, as above; the guard orders the ring's reset
    // before the push.
    const int32_t now = instance->connectedFlag.load(std::memory_order_acquire);
    int32_t late = QP240REMOTE_OK;
    if (now == 0)
        late = QP240REMOTE_E_NOT_CONNECTED;
    else if (now != connection)
        late = QP240REMOTE_E_OTHER_DEVICE;
    else
        ReportQueuePush(&instance->reportQueue, snapshot);
    SpinGuardRelease(&instance->producerGuard);
    return late;
}
