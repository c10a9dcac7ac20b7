#include "engine/worker_thread.h"

#include <cstdlib>
#include <cstring>

#include "engine/device_match.h"
#include "engine/host_call.h"
#include "engine/instance_lifetime.h"
#include "engine/key_translation.h"
#include "engine/polling_wait.h"
#include "engine/worker_control.h"
#include "engine/spin_guard.h"

#ifdef KOLMAR_TEST_SEAMS
DWORD g_workerStopWaitMs = QP240REMOTE_STOP_WAIT_MS;
#endif

static constexpr UINT kDeviceNameChars = 256;
static constexpr UINT kRawInputFailed = static_cast<UINT>(-1);

// The device list, owned by the worker for one run: reused from pass to pass
// and replaced only when the device count exceeds its room.
struct DeviceList {
    RAWINPUTDEVICELIST* entries;  // `room` entries, or null
    UINT room;
};

static bool WorkerKeepsRunning(const KeypadEngine* engine) {
    // Acquire pairs with the release store of the run flag in Stop; the flag
    // publishes nothing else, so this only keeps the reading current.
    return engine->runFlag.load(std::memory_order_acquire) == 1 && !WorkerAbandoned(engine);
}

// The device's identity, or false when its name or information cannot be read
// or its name is empty: such a device is passed over.
static bool ReadDeviceIdentity(const RawInputCalls& rawInput, HANDLE device,
                               RawDeviceIdentity* identity) {
    char name[kDeviceNameChars];
    name[0] = '\0';
    UINT size = kDeviceNameChars;
    UINT result = rawInput.getDeviceInfo(device, RIDI_DEVICENAME, name, &size);
    if (result == kRawInputFailed || result == 0 || name[0] == '\0')
        return false;

    RID_DEVICE_INFO info;
    std::memset(&info, 0, sizeof info);
    info.cbSize = sizeof info;
    size = sizeof info;
    result = rawInput.getDeviceInfo(device, RIDI_DEVICEINFO, &info, &size);
    if (result == kRawInputFailed || result == 0)
        return false;
    *identity = RawDeviceIdentity{info.dwType, info.hid.dwVendorId, info.hid.dwProductId,
                                  info.hid.usUsagePage, info.hid.usUsage};
    return true;
}

// Offers a matching keypad; on acceptance connects, in this order: device
// handle, previous key states, queue, status exchange (code 151), connected
// flag, code 60.
static void OfferKeypad(KeypadEngine* engine, HANDLE device, uint32_t productId) {
    RecordProductId(engine, productId);
    const int32_t answer = CallHost(engine, QP240REMOTE_CODE_OFFER_KEYPAD, 0, device);
    if (WorkerAbandoned(engine))
        return;
    if (answer == 0) {
        // Release pairs with the acquire loads in ReportIntake and
        // GetDriverStatus; the flag is already 0 here, as the host expects
        // before code 70.
        engine->connectedFlag.store(0, std::memory_order_release);
        CallHost(engine, QP240REMOTE_CODE_NO_KEYPAD, 0, nullptr);
        // Relaxed: read only after an acquire load of the connected flag.
        engine->deviceHandle.store(nullptr, std::memory_order_relaxed);
        return;
    }
    // Relaxed: published by the release store of the connected flag below.
    engine->deviceHandle.store(device, std::memory_order_relaxed);
    std::memset(engine->previousKeyStates, 0, sizeof engine->previousKeyStates);
    // Under the producers' guard: an id-55 call of an earlier connection that
    // was held up between its flag check and its push must not write into the
    // emptied ring with the index it read before.
    SpinGuardAcquire(&engine->producerGuard);
    ReportQueueReset(&engine->reportQueue);
    SpinGuardRelease(&engine->producerGuard);
    StatusExchangeReset(engine);
    if (WorkerAbandoned(engine))
        return;
    RaiseConnectedFlag(engine);
    CallHost(engine, QP240REMOTE_CODE_CONNECTED, 0, nullptr);
}

static void DetectionPass(KeypadEngine* engine, DeviceList* list) {
    Sleep(QP240REMOTE_DETECTION_PERIOD_MS);

    UINT count = 0;
    if (engine->rawInput.getDeviceList(nullptr, &count, sizeof(RAWINPUTDEVICELIST)) ==
            kRawInputFailed ||
        count == 0)
        return;
    if (count > QP240REMOTE_MAX_RAW_INPUT_DEVICES)
        count = QP240REMOTE_MAX_RAW_INPUT_DEVICES;
    if (count > list->room) {
        std::free(list->entries);
        list->entries =
            static_cast<RAWINPUTDEVICELIST*>(std::malloc(count * sizeof *list->entries));
        list->room = list->entries != nullptr ? count : 0;
        if (list->entries == nullptr)
            return;
    }
    // With more devices than the capped count this call fails: a system with
    // more than QP240REMOTE_MAX_RAW_INPUT_DEVICES raw-input devices is never
    // searched.
    UINT filled = count;
    const UINT listed =
        engine->rawInput.getDeviceList(list->entries, &filled, sizeof *list->entries);
    if (listed == kRawInputFailed || listed == 0)
        return;

    for (UINT i = 0; i < listed && i < count; ++i) {
        const HANDLE device = list->entries[i].hDevice;
        RawDeviceIdentity identity;
        if (!ReadDeviceIdentity(engine->rawInput, device, &identity) ||
            !DeviceMatchesFamily(kProfile, identity))
            continue;
        // Only the first matching device is offered in a pass.
        OfferKeypad(engine, device, identity.productId);
        return;
    }
}

static void PollingPass(KeypadEngine* engine, PollingWait* wait) {
    StatusExchangeRead(engine);
    uint8_t snapshot[kProfile.keyCount];
    while (ReportQueuePop(&engine->reportQueue, snapshot)) {
        TranslateSnapshot(engine, snapshot);
        if (!WorkerKeepsRunning(engine))
            break;
    }
    PollingWaitFor(wait, QP240REMOTE_POLLING_PERIOD_MS);
}

DWORD WINAPI WorkerThread(LPVOID argument) {
    KeypadEngine* engine = static_cast<KeypadEngine*>(argument);
    // Copied now: the record may be gone by the time the thread ends.
    const HMODULE library = static_cast<HMODULE>(engine->workerLibrary);
    DeviceList list = {nullptr, 0};
    PollingWait wait = {nullptr};
    PollingWaitOpen(&wait);

    CallHost(engine, QP240REMOTE_CODE_WORKER_BEGINS, 0, nullptr);
    while (WorkerKeepsRunning(engine)) {
        // Relaxed: only this thread writes the flag while it runs.
        if (engine->connectedFlag.load(std::memory_order_relaxed) == 0)
            DetectionPass(engine, &list);
        else
            PollingPass(engine, &wait);
    }

    // Forgotten before the connected flag falls, as the host expects; an id-55
    // call in between answers -11. Relaxed: the handle is a plain value, and
    // its readers see the flag's release store below.
    CallHost(engine, QP240REMOTE_CODE_CLOSE_KEYPAD, 0,
             engine->deviceHandle.exchange(nullptr, std::memory_order_relaxed));
    // Release pairs with the acquire loads in ReportIntake and GetDriverStatus.
    engine->connectedFlag.store(0, std::memory_order_release);
    CallHost(engine, QP240REMOTE_CODE_NO_KEYPAD, 0, nullptr);
    CallHost(engine, QP240REMOTE_CODE_WORKER_ENDS, 0, nullptr);
    std::free(list.entries);
    PollingWaitClose(&wait);

    // The run is over for Start, Stop and Destroy: the Stops and Destroys
    // waiting for it return now.
    WorkerControlEndRun(engine);
    InstanceRelease(engine->lifetime);
    // The record may be freed now. Let go of the library last, from code that
    // does not return into it.
    if (library != nullptr)
        FreeLibraryAndExitThread(library, 0);
    return 0;
}
