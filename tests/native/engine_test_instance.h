// An engine record made as Create makes it, with a lifetime record of its own
// and a recording host callback, for the native tests of the engine's core.
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include "engine/keypad_engine.h"

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
    std::function<void(KeypadEngine*, const HostCall&)> onCall;
    KeypadEngine* instance;
};

// A created engine with its queue and exchange, bound to `host`; freed (by
// the last InstanceRelease after the claim) with its lifetime record.
KeypadEngine* MakeTestInstance(TestHost* host);
// Lets go of it as Destroy does.
void FreeTestInstance(KeypadEngine* instance);

// Marks the instance connected to `device`, as the worker does on acceptance.
void ConnectTestInstance(KeypadEngine* instance, HANDLE device, uint32_t productId);

// A RAWINPUT-layout record for `device` holding `report` (reportLength bytes).
std::vector<uint8_t> MakeRecord(HANDLE device, const std::vector<uint8_t>& report,
                                uint32_t statedLength);

// Calls of `host` with their codes only.
std::vector<int32_t> Codes(const TestHost& host);

// A status block whose 43 words all hold `mark`.
HostStatusBlock Block(int32_t mark);
