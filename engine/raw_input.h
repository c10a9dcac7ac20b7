// The two raw-input functions the worker lists and identifies devices with.
// The driver looks them up in User32 at Init and hands them to every Start
// (engine/worker_control.h); the engine never looks them up itself.
#pragma once

#include "base/platform_types.h"

#ifdef _WIN32
typedef UINT(WINAPI* GetRawInputDeviceListFn)(PRAWINPUTDEVICELIST list, PUINT count,
                                              UINT entrySize);
typedef UINT(WINAPI* GetRawInputDeviceInfoAFn)(HANDLE device, UINT command, LPVOID data,
                                               PUINT size);
#else
// Natively no worker runs: the functions are only stored.
typedef void* GetRawInputDeviceListFn;
typedef void* GetRawInputDeviceInfoAFn;
#endif

struct RawInputCalls {
    GetRawInputDeviceListFn getDeviceList;
    GetRawInputDeviceInfoAFn getDeviceInfo;
};
