// Simulated keypads for a test build of examples/keypad_host.c, linked in
// beside it: the example's source runs unchanged. Before main, this plugs a
// keypad of each family (and the decoys) into the simulated raw-input device
// list, and replaces the example's own imports of RegisterRawInputDevices and
// GetRawInputData: once the example registers a window for the keypads' usage,
// a feeding thread taps keys on both keypads, posting a WM_INPUT per report
// whose handle GetRawInputData turns back into the report's RAWINPUT record.
// The example must pass on the reports of the keypad it accepted only.
#include <atomic>
#include <cstdio>
#include <cstring>

#include "include/qp240_remote.h"
#include "tools/host_simulator/import_patch.h"
#include "tools/host_simulator/keypad_families.h"
#include "tools/host_simulator/keypad_reports.h"
#include "tools/host_simulator/simulated_keypads.h"

namespace {

constexpr DWORD kTapMs = 100;  // between two reports of a keypad
constexpr int32_t kSlots = 256;

struct PostedRecord {
    size_t size;
    uint8_t bytes[kRawInputRecordRoom];
};

// Written by the feeding thread before it posts the slot's WM_INPUT, read by
// the window's thread after it got that message: the message queue orders the
// two. A slot is written again 256 reports later, long after its message.
PostedRecord g_records[kSlots];
// The window registered for the keypads' usage, or null.
std::atomic<HWND> g_target{nullptr};
HANDLE g_keypads[kKeypadFamilyCount];

BOOL WINAPI StandInRegisterRawInputDevices(PCRAWINPUTDEVICE devices, UINT count, UINT size) {
    const bool keypads = count == 1 && size == sizeof(RAWINPUTDEVICE) &&
                         devices->usUsagePage == QP240REMOTE_KEYPAD_USAGE_PAGE &&
                         devices->usUsage == QP240REMOTE_KEYPAD_USAGE;
    // As the system: a sink needs its window, a removal takes none.
    if (keypads && devices->dwFlags == RIDEV_INPUTSINK && devices->hwndTarget != nullptr) {
        // Release pairs with the feeding thread's acquire load.
        g_target.store(devices->hwndTarget, std::memory_order_release);
        return TRUE;
    }
    if (keypads && devices->dwFlags == RIDEV_REMOVE && devices->hwndTarget == nullptr) {
        g_target.store(nullptr, std::memory_order_release);
        return TRUE;
    }
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
}

UINT WINAPI StandInGetRawInputData(HRAWINPUT input, UINT command, LPVOID data, PUINT size,
                                   UINT headerSize) {
    const uintptr_t slot = reinterpret_cast<uintptr_t>(input);
    if (slot == 0 || slot > kSlots || command != RID_INPUT || size == nullptr ||
        headerSize != sizeof(RAWINPUTHEADER)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return static_cast<UINT>(-1);
    }
    const PostedRecord& record = g_records[slot - 1];
    if (data == nullptr) {
        *size = static_cast<UINT>(record.size);
        return 0;
    }
    if (*size < record.size) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return static_cast<UINT>(-1);
    }
    std::memcpy(data, record.bytes, record.size);
    return static_cast<UINT>(record.size);
}

// Key 3 down, up, key 4 down, up, and again, on every keypad at once, while a
// window is registered.
DWORD WINAPI FeedKeypads(void*) {
    int32_t slot = 0;
    for (uint32_t step = 0;; Sleep(kTapMs)) {
        // Acquire pairs with the release store of the registration.
        const HWND target = g_target.load(std::memory_order_acquire);
        if (target == nullptr)
            continue;
        uint8_t keys[kMaxKeypadKeys] = {};
        keys[3 + step / 2 % 2] = step % 2 == 0;
        ++step;
        for (const HANDLE keypad : g_keypads) {
            SimulatedDevice device;
            if (!SimulatedDeviceFind(keypad, &device))
                continue;
            const KeypadModel* model = FindKeypadModel(device.productId);
            uint8_t report[kRawInputRecordRoom];
            const uint32_t length = BuildKeypadReport(*model, keys, report);
            PostedRecord& record = g_records[slot];
            record.size = WrapRawInputRecord(keypad, report, length, length, record.bytes,
                                             sizeof record.bytes);
            PostMessageA(target, WM_INPUT, RIM_INPUTSINK, static_cast<LPARAM>(slot + 1));
            slot = (slot + 1) % kSlots;
        }
    }
}

bool Replace(const char* function, void* replacement) {
    if (ReplaceImport(GetModuleHandleA(nullptr), "user32.dll", function, replacement) != nullptr)
        return true;
    std::fprintf(stderr, "example_keypads: the program does not import %s\n", function);
    return false;
}

bool InstallKeypads() {
    char error[256];
    if (!SimulatedKeypadsInstall(error, sizeof error)) {
        std::fprintf(stderr, "example_keypads: %s\n", error);
        return false;
    }
    SimulatedDevicesPlugDecoys();
    for (int32_t i = 0; i < kKeypadFamilyCount; ++i)
        g_keypads[i] = SimulatedDevicePlug(KeypadDevice(kKeypadFamilies[i].productIds[0]));
    if (!Replace("RegisterRawInputDevices",
                 reinterpret_cast<void*>(&StandInRegisterRawInputDevices)) ||
        !Replace("GetRawInputData", reinterpret_cast<void*>(&StandInGetRawInputData)))
        return false;
    const HANDLE feeder = CreateThread(nullptr, 0, FeedKeypads, nullptr, 0, nullptr);
    if (feeder == nullptr)
        return false;
    CloseHandle(feeder);  // it feeds until the process ends
    return true;
}

// Before the example's main.
const bool g_installed = InstallKeypads();

}  // namespace
