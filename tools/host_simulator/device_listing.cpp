#include "tools/host_simulator/device_listing.h"

#include <cstdio>
#include <cstring>
#include <vector>

#include "toolkit/platform_types.h"
#include "driver/variant_profile.h"
#include "engine/device_match.h"
#include "tools/host_simulator/system_error.h"

typedef UINT(WINAPI* ListFunction)(PRAWINPUTDEVICELIST, PUINT, UINT);
typedef UINT(WINAPI* InfoFunction)(HANDLE, UINT, LPVOID, PUINT);

static constexpr UINT kFailed = static_cast<UINT>(-1);
static constexpr UINT kDriverListLimit = 128;  // the drivers search no longer list

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
    if (listed > kDriverListLimit)
        std::printf("more than %u devices: the drivers search none of them\n", kDriverListLimit);

    const VariantProfile* const profiles[] = {&kProfile32Keys, &kProfile15Keys};
    bool offered[2] = {false, false};
    for (UINT i = 0; i < listed; ++i) {
        const HANDLE device = entries[i].hDevice;
        char name[256] = "";
        UINT size = sizeof name;
        const bool named = info(device, RIDI_DEVICENAME, name, &size) != kFailed && name[0];
        RID_DEVICE_INFO details;
        std::memset(&details, 0, sizeof details);
        details.cbSize = sizeof details;
        size = sizeof details;
        const bool described = info(device, RIDI_DEVICEINFO, &details, &size) != kFailed;

        std::printf("%3u  %p  %-8s", i, device, TypeName(entries[i].dwType));
        if (described && details.dwType == RIM_TYPEHID)
            std::printf("  vendor 0x%04lX product 0x%04lX usage %04X:%04X", details.hid.dwVendorId,
                        details.hid.dwProductId, details.hid.usUsagePage, details.hid.usUsage);
        std::printf("  %s\n", named ? name : "(no name)");
        if (!named || !described)
            continue;
        const RawDeviceIdentity identity = {details.dwType, details.hid.dwVendorId,
                                            details.hid.dwProductId, details.hid.usUsagePage,
                                            details.hid.usUsage};
        for (int p = 0; p < 2; ++p) {
            if (!DeviceMatchesFamily(*profiles[p], identity))
                continue;
            std::printf("     matches %s%s\n", profiles[p]->deliverableName,
                        offered[p] || listed > kDriverListLimit ? ""
                                                                : ": the keypad it would offer");
            offered[p] = true;
        }
    }
    for (int p = 0; p < 2; ++p)
        if (!offered[p])
            std::printf("no keypad for %s\n", profiles[p]->deliverableName);
    return 0;
}
