// The keypads' side of the host: a reading thread per instance that hands the
// accepted keypad's reports to it, and a plugger that makes keypads and decoys
// come and go.
#include "tools/host_simulator/torture_actors.h"

#include "tools/host_simulator/keypad_families.h"
#include "tools/host_simulator/keypad_reports.h"
#include "tools/host_simulator/simulated_keypads.h"
#include "tools/host_simulator/torture_checks.h"

static constexpr int kMaxExtraDevices = 6;

// The host's reading thread of one instance's keypad: reports with random keys
// while it is open. One per instance, as a host reads each keypad on a thread
// of its own.
DWORD WINAPI TortureReaderThread(LPVOID number) {
    Torture* torture = g_torture;
    const int index = static_cast<int>(reinterpret_cast<uintptr_t>(number));
    TortureSlot* slot = &torture->slots[index];
    TortureRandom random = RandomFor(torture->settings.seed, 202 + index);
    uint8_t keys[kMaxKeypadKeys];
    uint8_t report[1024];
    uint8_t record[kRawInputRecordRoom];
    while (torture->running.load()) {
        Sleep(2 + RandomBelow(&random, 5));
        const HANDLE device = slot->openDevice.load();
        const KeypadModel* model = FindKeypadModel(slot->openProduct.load());
        if (device == nullptr || model == nullptr)
            continue;
        for (uint8_t& key : keys)
            key = RandomBelow(&random, 4) == 0;
        const uint32_t length = BuildKeypadReport(*model, keys, report);
        WrapRawInputRecord(device, report, length, length, record, sizeof record);
        const SlotHold held = SlotHoldHandle(slot, false);
        if (held.handle == nullptr)
            continue;
        const int32_t answer = TimedCall(torture, kCallSetGetInformations, index, false, [&] {
            return torture->driver.SetGetInformations(held.handle, QP240REMOTE_INFO_INPUT_REPORT,
                                                      record, 0);
        });
        SlotLetGo(slot);
        // The keypad may have gone, or been connected anew, since the host
        // read it.
        CheckAnswer(torture, kCallSetGetInformations, index, answer,
                    {QP240REMOTE_OK, QP240REMOTE_E_NOT_CONNECTED, QP240REMOTE_E_OTHER_DEVICE});
    }
    return 0;
}

// Keypads of the family and decoys come and go beside the one that stays.
DWORD WINAPI TorturePlugThread(LPVOID) {
    Torture* torture = g_torture;
    TortureRandom random = RandomFor(torture->settings.seed, 303);
    HANDLE plugged[kMaxExtraDevices] = {};
    while (torture->running.load()) {
        const int place = static_cast<int>(RandomBelow(&random, kMaxExtraDevices));
        if (plugged[place] != nullptr) {
            SimulatedDeviceUnplug(plugged[place]);
            plugged[place] = nullptr;
        } else {
            const uint16_t product = torture->family->productIds[RandomBelow(&random, 2)];
            plugged[place] = SimulatedDevicePlug(
                RandomBelow(&random, 2) == 0 ? KeypadDevice(product) : DecoyWrongUsage(product));
        }
        Sleep(100 + RandomBelow(&random, 300));
    }
    for (HANDLE device : plugged)
        if (device != nullptr)
            SimulatedDeviceUnplug(device);
    return 0;
}
