// A DriverInstance built as Create builds it, with a recording host callback,
// for the native tests of the engine's core.
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include "driver/driver_instance.h"

struct HostCall {
    int32_t code;
    int32_t argument;
    void* pointer;
    std::vector<uint8_t> bytes;  // the MIDI bytes of a 1301 call, copied during the call
};

// The host of one test instance; single-threaded use only.
struct TestHost {
    std::vector<HostCall> calls;
    // Runs inside every callback, after the call is recorded (may be empty).
    std::function<void(DriverInstance*, const HostCall&)> onCall;
    DriverInstance* instance;
};

// A created instance with its queue and exchange, bound to `host`.
DriverInstance* MakeTestInstance(TestHost* host);
// Lets go of it as Destroy does.
void FreeTestInstance(DriverInstance* instance);

// Marks the instance connected to `device`, as the worker does on acceptance.
void ConnectTestInstance(DriverInstance* instance, HANDLE device, uint32_t productId);

// A RAWINPUT-layout record for `device` holding `report` (reportLength bytes).
std::vector<uint8_t> MakeRecord(HANDLE device, const std::vector<uint8_t>& report,
                                uint32_t statedLength);

// Calls of `host` with their codes only.
std::vector<int32_t> Codes(const TestHost& host);

// A status block whose 43 words all hold `mark`.
HostStatusBlock Block(int32_t mark);
