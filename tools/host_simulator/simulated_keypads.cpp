#include "tools/host_simulator/simulated_keypads.h"

#include <cstdio>
#include <cstring>
#include <initializer_list>

#include "include/qp240_remote.h"
#include "tools/host_simulator/keypad_families.h"
#include "tools/host_simulator/system_error.h"

static constexpr uint32_t kOtherVendor = 0x046D;
static constexpr UINT kFailed = static_cast<UINT>(-1);
// Handles no system hands out: far above any real one, 16 apart.
static constexpr uintptr_t kFirstHandle = 0x7F5100000000;
static constexpr uintptr_t kHandleStep = 0x10;

// The list, in the order the system would list it. One lock guards all of it;
// the driver's worker and the host's threads read and change it concurrently.
static SRWLOCK g_lock = SRWLOCK_INIT;
static SimulatedDevice g_devices[kMaxSimulatedDevices];
static int32_t g_deviceCount;
static uintptr_t g_nextHandle = kFirstHandle;
static SimulatedListCalls g_listCalls;
static bool g_countFails;

static SimulatedDevice HidDevice(uint32_t vendor, uint16_t product, uint16_t usage,
                                 const char* description) {
    SimulatedDevice device = {};
    device.type = RIM_TYPEHID;
    device.vendorId = vendor;
    device.productId = product;
    device.usagePage = QP240REMOTE_KEYPAD_USAGE_PAGE;
    device.usage = usage;
    device.description = description;
    std::snprintf(device.name, sizeof device.name,
                  "\\\\?\\HID#VID_%04X&PID_%04X&Col%02u#7&2c1a5d30&0&0000#"
                  "{4d1e55b2-f16f-11cf-88cb-001111000030}",
                  vendor, product, usage);
    return device;
}

SimulatedDevice KeypadDevice(uint16_t productId) {
    return HidDevice(QP240REMOTE_KEYPAD_VENDOR_ID, productId, QP240REMOTE_KEYPAD_USAGE, "keypad");
}

SimulatedDevice DecoyWrongUsage(uint16_t productId) {
    return HidDevice(QP240REMOTE_KEYPAD_VENDOR_ID, productId, 0x0002, "decoy: usage 0x0002");
}

SimulatedDevice DecoyOtherVendor(uint16_t productId) {
    return HidDevice(kOtherVendor, productId, QP240REMOTE_KEYPAD_USAGE, "decoy: another vendor");
}

SimulatedDevice DecoyKeyboard() {
    // Its information, read as HID fields, names the 32-key family.
    SimulatedDevice device =
        HidDevice(QP240REMOTE_KEYPAD_VENDOR_ID, 0x006C, QP240REMOTE_KEYPAD_USAGE, "");
    device.type = RIM_TYPEKEYBOARD;
    device.description = "decoy: keyboard";
    std::snprintf(device.name, sizeof device.name,
                  "\\\\?\\HID#VID_0FD9&PID_006C&MI_00#8&1f0c2b3a&0&0000#"
                  "{884b96c3-56ef-11d1-bc8c-00a0c91405dd}");
    return device;
}

SimulatedDevice DecoyMouse() {
    SimulatedDevice device = {};
    device.type = RIM_TYPEMOUSE;
    device.description = "decoy: mouse";
    std::snprintf(device.name, sizeof device.name,
                  "\\\\?\\HID#VID_046D&PID_C077#7&3a4b5c6d&0&0000#"
                  "{378de44c-56ef-11d1-bc8c-00a0c91405dd}");
    return device;
}

// Writes `replacement`'s address over the first 12 bytes of `target`:
// mov rax, imm64; jmp rax.
static bool Redirect(void* target, void* replacement) {
    uint8_t code[12] = {0x48, 0xB8};
    std::memcpy(code + 2, &replacement, sizeof replacement);
    code[10] = 0xFF;
    code[11] = 0xE0;
    DWORD protection = 0;
    if (!VirtualProtect(target, sizeof code, PAGE_EXECUTE_READWRITE, &protection))
        return false;
    std::memcpy(target, code, sizeof code);
    DWORD ignored = 0;
    VirtualProtect(target, sizeof code, protection, &ignored);
    FlushInstructionCache(GetCurrentProcess(), target, sizeof code);
    return true;
}

bool SimulatedKeypadsInstall(char* error, size_t errorSize) {
    static bool installed;
    if (installed)
        return true;
    HMODULE user32 = LoadLibraryA("user32.dll");
    void* list = user32 == nullptr
                     ? nullptr
                     : reinterpret_cast<void*>(GetProcAddress(user32, "GetRawInputDeviceList"));
    void* info = user32 == nullptr
                     ? nullptr
                     : reinterpret_cast<void*>(GetProcAddress(user32, "GetRawInputDeviceInfoA"));
    if (list == nullptr || info == nullptr) {
        std::snprintf(error, errorSize, "user32 lacks the raw-input entry points");
        return false;
    }
    if (!Redirect(list, reinterpret_cast<void*>(&SimulatedGetRawInputDeviceList)) ||
        !Redirect(info, reinterpret_cast<void*>(&SimulatedGetRawInputDeviceInfoA))) {
        char reason[320];
        DescribeSystemError(reason, sizeof reason, GetLastError());
        std::snprintf(error, errorSize, "cannot write user32's code: %s", reason);
        return false;
    }
    installed = true;
    return true;
}

HANDLE SimulatedDevicePlug(SimulatedDevice device) {
    AcquireSRWLockExclusive(&g_lock);
    HANDLE handle = nullptr;
    if (g_deviceCount < kMaxSimulatedDevices) {
        handle = reinterpret_cast<HANDLE>(g_nextHandle);
        g_nextHandle += kHandleStep;
        device.handle = handle;
        g_devices[g_deviceCount++] = device;
    }
    ReleaseSRWLockExclusive(&g_lock);
    return handle;
}

void SimulatedDeviceUnplug(HANDLE handle) {
    AcquireSRWLockExclusive(&g_lock);
    for (int32_t i = 0; i < g_deviceCount; ++i) {
        if (g_devices[i].handle != handle)
            continue;
        std::memmove(&g_devices[i], &g_devices[i + 1],
                     sizeof g_devices[0] * static_cast<size_t>(g_deviceCount - i - 1));
        --g_deviceCount;
        break;
    }
    ReleaseSRWLockExclusive(&g_lock);
}

void SimulatedDevicesUnplugAll() {
    AcquireSRWLockExclusive(&g_lock);
    g_deviceCount = 0;
    ReleaseSRWLockExclusive(&g_lock);
}

// Under the lock.
static const SimulatedDevice* Find(HANDLE handle) {
    for (int32_t i = 0; i < g_deviceCount; ++i)
        if (g_devices[i].handle == handle)
            return &g_devices[i];
    return nullptr;
}

bool SimulatedDeviceFind(HANDLE handle, SimulatedDevice* device) {
    AcquireSRWLockExclusive(&g_lock);
    const SimulatedDevice* found = Find(handle);
    if (found != nullptr)
        *device = *found;
    ReleaseSRWLockExclusive(&g_lock);
    return found != nullptr;
}

SimulatedListCalls SimulatedListCallsSoFar() {
    AcquireSRWLockExclusive(&g_lock);
    const SimulatedListCalls calls = g_listCalls;
    ReleaseSRWLockExclusive(&g_lock);
    return calls;
}

void SimulatedListCountFails(bool fails) {
    AcquireSRWLockExclusive(&g_lock);
    g_countFails = fails;
    ReleaseSRWLockExclusive(&g_lock);
}

UINT WINAPI SimulatedGetRawInputDeviceList(PRAWINPUTDEVICELIST list, PUINT count, UINT entrySize) {
    if (entrySize != sizeof(RAWINPUTDEVICELIST)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return kFailed;
    }
    if (count == nullptr) {
        SetLastError(ERROR_NOACCESS);
        return kFailed;
    }
    AcquireSRWLockExclusive(&g_lock);
    const UINT devices = static_cast<UINT>(g_deviceCount);
    UINT result;
    DWORD error = ERROR_SUCCESS;
    if (list == nullptr) {
        ++g_listCalls.countQueries;
        if (g_countFails) {
            error = ERROR_GEN_FAILURE;
            result = kFailed;
        } else {
            *count = devices;
            result = 0;
        }
    } else {
        ++g_listCalls.fillCalls;
        g_listCalls.lastList = list;
        g_listCalls.lastRoom = *count;
        if (*count < devices) {
            *count = devices;
            error = ERROR_INSUFFICIENT_BUFFER;
            result = kFailed;
        } else {
            for (UINT i = 0; i < devices; ++i) {
                list[i].hDevice = g_devices[i].handle;
                list[i].dwType = g_devices[i].type;
            }
            result = devices;
        }
        g_listCalls.lastFillListed = result;
    }
    ReleaseSRWLockExclusive(&g_lock);
    if (error != ERROR_SUCCESS)
        SetLastError(error);
    return result;
}

// Under the lock: answers RIDI_DEVICENAME and RIDI_DEVICEINFO for `device`.
static UINT DescribeDevice(const SimulatedDevice& device, UINT command, LPVOID data, PUINT size,
                           DWORD* error) {
    if (command == RIDI_DEVICENAME) {
        if (device.nameUnreadable) {
            *error = ERROR_GEN_FAILURE;
            return kFailed;
        }
        const UINT needed = static_cast<UINT>(std::strlen(device.name) + 1);  // characters
        if (data == nullptr) {
            *size = needed;
            return 0;
        }
        if (*size < needed) {
            *size = needed;
            *error = ERROR_INSUFFICIENT_BUFFER;
            return kFailed;
        }
        std::memcpy(data, device.name, needed);
        return needed;
    }
    if (command == RIDI_DEVICEINFO) {
        if (device.infoUnreadable) {
            *error = ERROR_GEN_FAILURE;
            return kFailed;
        }
        const UINT needed = sizeof(RID_DEVICE_INFO);
        if (data == nullptr) {
            *size = needed;
            return 0;
        }
        if (*size < needed) {
            *size = needed;
            *error = ERROR_INSUFFICIENT_BUFFER;
            return kFailed;
        }
        RID_DEVICE_INFO* info = static_cast<RID_DEVICE_INFO*>(data);
        // The caller must say which record it passes.
        if (info->cbSize != sizeof(RID_DEVICE_INFO)) {
            *error = ERROR_INVALID_PARAMETER;
            return kFailed;
        }
        std::memset(info, 0, sizeof *info);
        info->cbSize = sizeof *info;
        info->dwType = device.type;
        // Keyboards and mice fill the same words with their own fields.
        info->hid.dwVendorId = device.vendorId;
        info->hid.dwProductId = device.productId;
        info->hid.dwVersionNumber = 0x0100;
        info->hid.usUsagePage = device.usagePage;
        info->hid.usUsage = device.usage;
        return needed;
    }
    *error = ERROR_INVALID_PARAMETER;
    return kFailed;
}

UINT WINAPI SimulatedGetRawInputDeviceInfoA(HANDLE handle, UINT command, LPVOID data, PUINT size) {
    if (size == nullptr) {
        SetLastError(ERROR_NOACCESS);
        return kFailed;
    }
    AcquireSRWLockExclusive(&g_lock);
    DWORD error = ERROR_SUCCESS;
    const SimulatedDevice* device = Find(handle);
    UINT result = kFailed;
    if (device == nullptr)
        error = ERROR_INVALID_HANDLE;
    else
        result = DescribeDevice(*device, command, data, size, &error);
    ReleaseSRWLockExclusive(&g_lock);
    if (error != ERROR_SUCCESS)
        SetLastError(error);
    return result;
}

void SimulatedDevicesPlugDecoys() {
    for (const KeypadFamily& family : kKeypadFamilies) {
        SimulatedDevicePlug(DecoyWrongUsage(family.productIds[0]));
        SimulatedDevicePlug(DecoyOtherVendor(family.productIds[0]));
    }
    SimulatedDevicePlug(DecoyKeyboard());
    SimulatedDevicePlug(DecoyMouse());
    SimulatedDevicePlug(KeypadDevice(0x00FF));
}
