#include "tools/host_simulator/device_listing.h"

#include <cstdio>
#include <cstring>
#include <vector>
#include <windows.h>

#include "include/qp240_remote.h"
#include "tools/host_simulator/keypad_families.h"
#include "tools/host_simulator/system_error.h"

typedef UINT(WINAPI* ListFunction)(PRAWINPUTDEVICELIST, PUINT, UINT);
typedef UINT(WINAPI* InfoFunction)(HANDLE, UINT, LPVOID, PUINT);

static constexpr UINT kFailed = static_cast<UINT>(-1);

static const char* TypeName(DWORD type) {
    switch (type) {
        case RIM_TYPEMOUSE:
            return "mouse";
        case RIM_TYPEKEYBOARD:
            return "keyboard";
        case RIM_TYPEHID:
            return "HID";
    }
    return "unknown";
}

// The family that would take the device: a HID of the keypads' vendor and
// usage whose product is one of the family's. Null for any other device.
static const KeypadFamily* FamilyOfDevice(const RID_DEVICE_INFO& details) {
    if (details.dwType != RIM_TYPEHID || details.hid.dwVendorId != QP240REMOTE_KEYPAD_VENDOR_ID ||
        details.hid.usUsagePage != QP240REMOTE_KEYPAD_USAGE_PAGE ||
        details.hid.usUsage != QP240REMOTE_KEYPAD_USAGE)
        return nullptr;
    return FamilyOfProduct(details.hid.dwProductId);
}

int ListRawInputDevices() {
    HMODULE user32 = LoadLibraryA("user32.dll");
    const ListFunction list = reinterpret_cast<ListFunction>(
        reinterpret_cast<void*>(GetProcAddress(user32, "GetRawInputDeviceList")));
    const InfoFunction info = reinterpret_cast<InfoFunction>(
        reinterpret_cast<void*>(GetProcAddress(user32, "GetRawInputDeviceInfoA")));
    if (list == nullptr || info == nullptr) {
        std::fprintf(stderr, "host_simulator: user32 lacks the raw-input functions\n");
        return 1;
    }
    // A system without devices answers the count query with 0 and no error; its
    // empty list is read no further, as the drivers read none: there is no
    // device to offer either way.
    UINT count = 0;
    if (list(nullptr, &count, sizeof(RAWINPUTDEVICELIST)) == kFailed) {
        char reason[320];
        DescribeSystemError(reason, sizeof reason, GetLastError());
        std::fprintf(stderr, "host_simulator: cannot count raw-input devices: %s\n", reason);
        return 1;
    }
    std::vector<RAWINPUTDEVICELIST> entries(count);
    UINT listed = count == 0 ? 0 : list(entries.data(), &count, sizeof(RAWINPUTDEVICELIST));
    if (listed == kFailed) {
        std::fprintf(stderr, "host_simulator: the device list changed while read; try again\n");
        return 1;
    }
    std::printf("%u raw-input device%s\n", listed, listed == 1 ? "" : "s");
    if (listed > QP240REMOTE_MAX_RAW_INPUT_DEVICES)
        std::printf("more than %u devices: the drivers search none of them\n",
                    QP240REMOTE_MAX_RAW_INPUT_DEVICES);

    bool offered[kKeypadFamilyCount] = {};
    for (UINT i = 0; i < listed; ++i) {
        const HANDLE device = entries[i].hDevice;
        // As the drivers read a device: an answer of 0 characters or bytes
        // reads nothing, and a device without a name or information is passed
        // over.
        char name[256] = "";
        UINT size = sizeof name;
        UINT read = info(device, RIDI_DEVICENAME, name, &size);
        const bool named = read != kFailed && read != 0 && name[0] != '\0';
        RID_DEVICE_INFO details;
        std::memset(&details, 0, sizeof details);
        details.cbSize = sizeof details;
        size = sizeof details;
        read = info(device, RIDI_DEVICEINFO, &details, &size);
        const bool described = read != kFailed && read != 0;

        std::printf("%3u  %p  %-8s", i, device, TypeName(entries[i].dwType));
        if (described && details.dwType == RIM_TYPEHID)
            std::printf("  vendor 0x%04lX product 0x%04lX usage %04X:%04X", details.hid.dwVendorId,
                        details.hid.dwProductId, details.hid.usUsagePage, details.hid.usUsage);
        std::printf("  %s\n", named ? name : "(no name)");
        const KeypadFamily* family = named && described ? FamilyOfDevice(details) : nullptr;
        if (family == nullptr)
            continue;
        const int32_t f = static_cast<int32_t>(family - kKeypadFamilies);
        std::printf("     matches %s%s\n", family->deliverableName,
                    offered[f] || listed > QP240REMOTE_MAX_RAW_INPUT_DEVICES
                        ? ""
                        : ": the keypad it would offer");
        offered[f] = true;
    }
    for (int32_t f = 0; f < kKeypadFamilyCount; ++f)
        if (!offered[f])
            std::printf("no keypad for %s\n", kKeypadFamilies[f].deliverableName);
    return 0;
}
