// Simulated keypads: a scripted raw-input device list served in place of the
// system's. SimulatedKeypadsInstall replaces user32's GetRawInputDeviceList and
// GetRawInputDeviceInfoA in this process with functions that keep the real
// contracts (a count query with a null list, (UINT)-1 when the room is too
// small, RIDI_DEVICENAME and RIDI_DEVICEINFO sizes in and out), so the driver
// under test runs its shipped code against devices a test or the simulator
// plugs in and out. Any thread may call any function here.
#pragma once

#include <cstddef>
#include <cstdint>
#include <windows.h>

inline constexpr size_t kSimulatedNameRoom = 128;
inline constexpr int32_t kMaxSimulatedDevices = 256;

struct SimulatedDevice {
    HANDLE handle;  // assigned when plugged in
    uint32_t type;  // RIM_TYPEHID, RIM_TYPEKEYBOARD or RIM_TYPEMOUSE
    uint32_t vendorId;
    uint32_t productId;
    uint16_t usagePage;
    uint16_t usage;
    char name[kSimulatedNameRoom];  // device interface name; empty is allowed
    bool nameUnreadable;            // RIDI_DEVICENAME fails
    bool infoUnreadable;            // RIDI_DEVICEINFO fails
    const char* description;        // for the log: "keypad", "decoy: usage 0x0002"
};

// A keypad of a supported (or any) USB product of vendor 0x0FD9.
SimulatedDevice KeypadDevice(uint16_t productId);
// Devices no deliverable may take.
SimulatedDevice DecoyWrongUsage(uint16_t productId);   // usage 0x0002
SimulatedDevice DecoyOtherVendor(uint16_t productId);  // another vendor, same numbers
// A keyboard whose keyboard information, read as HID fields, would match the
// 32-key family: only its device type tells it apart.
SimulatedDevice DecoyKeyboard();
SimulatedDevice DecoyMouse();
// Plugs a decoy of each kind that must never be offered to either family: a
// wrong usage and another vendor for each family's product, a keyboard, a
// mouse, and the vendor's own device of no supported product.
void SimulatedDevicesPlugDecoys();

// Replaces the two user32 entry points in this process, once; later calls do
// nothing. Loads user32 first, as a GUI host has it. False (with a reason in
// `error`) when an entry point is missing or cannot be written.
bool SimulatedKeypadsInstall(char* error, size_t errorSize);

// Appends a device to the end of the list and returns its new handle, or null
// when the list is full.
HANDLE SimulatedDevicePlug(SimulatedDevice device);
// Removes a device; the others keep their order.
void SimulatedDeviceUnplug(HANDLE handle);
void SimulatedDevicesUnplugAll();
// The plugged-in device with that handle; false when there is none.
bool SimulatedDeviceFind(HANDLE handle, SimulatedDevice* device);

// What the driver asked of the list, for tests of its reuse and growth.
struct SimulatedListCalls {
    uint32_t countQueries;    // calls with a null list
    uint32_t fillCalls;       // calls with a list
    const void* lastList;     // the list of the last fill call
    uint32_t lastRoom;        // the room that call offered, in entries
    uint32_t lastFillListed;  // what it answered: entries, or (UINT)-1
};
SimulatedListCalls SimulatedListCallsSoFar();
// Makes the count query fail, as when the system cannot read the list.
void SimulatedListCountFails(bool fails);

// The replacements themselves; tests may also call them directly.
UINT WINAPI SimulatedGetRawInputDeviceList(PRAWINPUTDEVICELIST list, PUINT count, UINT entrySize);
UINT WINAPI SimulatedGetRawInputDeviceInfoA(HANDLE device, UINT command, LPVOID data, PUINT size);
