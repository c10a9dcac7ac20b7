// The simulated host of one driver instance: its callback records and (when
// asked) prints every call, answers offers as told, opens the offered keypad,
// fills status blocks, and reads the keypad on a thread of its own, which runs
// a script of key presses and releases, context changes and status blocks.
// Shared by the simulator and the tests; plain record, free functions.
#pragma once

#include <cstdint>
#include <vector>

#include "tools/host_simulator/deliverable.h"
#include "tools/host_simulator/keypad_reports.h"

inline constexpr int32_t kStatusBlockWords = QP240REMOTE_HOST_STATUS_SIZE / 4;

struct SimulatedHostCall {
    int32_t code;
    int32_t argument;
    void* pointer;
    std::vector<uint8_t> bytes;  // the MIDI bytes of a 1301 call, copied during the call
    DWORD threadId;              // the thread the driver called on
    unsigned ms;                 // milliseconds since SimulatedHostInit
    int32_t driverStatus;        // QP240REMOTE_GetDriverStatus as the call began
};

enum HostStepKind {
    kStepKeyDown,      // value: key index
    kStepKeyUp,        // value: key index
    kStepKeyMode,      // value: QP240REMOTE_KEY_MODE_... (QP240REMOTE_SetContext)
    kStepChannel,      // value: MIDI channel 0..15
    kStepPadBank,      // value: PadBank
    kStepStatusBlock,  // a new status block with id 56
};

struct HostStep {
    HostStepKind kind;
    int32_t value;
    uint32_t delayMs;  // after the step before (or after the keypad opened)
};

struct SimulatedHost {
    // Set by SimulatedHostInit; the caller may change them before Create.
    const Deliverable* driver;
    void* instance;     // from SimulatedHostCreate
    char label[32];     // names the instance in printed lines
    bool print;         // a log line for every callback and host action
    int32_t refusals;   // offers to refuse before one is accepted; negative: refuse every offer
    int32_t accepting;  // what an accepted offer answers: 1, or any other nonzero value
    int32_t blockCode;  // a call with this code waits until `release` is set (0: none)
    HANDLE release;     // manual-reset event
    // Runs inside each callback after it was recorded, on the driver's thread.
    void (*hook)(SimulatedHost* host, int32_t code);
    void* hookContext;

    // Under `lock`.
    CRITICAL_SECTION lock;
    std::vector<SimulatedHostCall> calls;
    HANDLE openDevice;             // the keypad the host accepted and reads, or null
    int32_t* statusBlock;          // the block handed with code 151 (kStatusBlockWords)
    int32_t statusMark;            // the last mark the host put in a status block
    uint8_t keys[kMaxKeypadKeys];  // key states the next report carries
    DWORD startTick;

    // The reading thread and its script.
    HANDLE reader;
    HANDLE opened;  // manual-reset: set while the host has the keypad open
    HANDLE stop;    // manual-reset: the reading thread is to end
    std::vector<HostStep> script;
    bool scriptDone;  // under `lock`
};

void SimulatedHostInit(SimulatedHost* host, const Deliverable* driver, const char* label);
// Ends the reading thread; the instance must be destroyed already.
void SimulatedHostFree(SimulatedHost* host);
// QP240REMOTE_Create bound to this host; the instance, or null.
void* SimulatedHostCreate(SimulatedHost* host);
int32_t SimulatedHostCallback(intptr_t userValue, int32_t code, int32_t argument, void* pointer);

// Starts the instance and waits for its next connection (code 60); false when
// Start failed or no keypad connected within `timeoutMs`.
bool SimulatedHostStartAndConnect(SimulatedHost* host, DWORD timeoutMs);

std::vector<SimulatedHostCall> SimulatedHostCalls(SimulatedHost* host);
// The calls with `code`, in order.
std::vector<SimulatedHostCall> SimulatedHostCallsWith(SimulatedHost* host, int32_t code);
std::vector<int32_t> SimulatedHostCodes(SimulatedHost* host);
int32_t SimulatedHostCount(SimulatedHost* host, int32_t code);
// Waits until `count` calls with `code` arrived; false on timeout.
bool SimulatedHostWaitFor(SimulatedHost* host, int32_t code, int32_t count, DWORD timeoutMs);
HANDLE SimulatedHostOpenDevice(SimulatedHost* host);

// What SimulatedHostSetKey(s) answers when the host has no keypad open.
inline constexpr int32_t kNoKeypadOpen = -1000;

// The host's reading, from the calling thread: sets one key and hands the
// open keypad's report for the current key states to the driver (id 55).
// Returns the driver's answer.
int32_t SimulatedHostSetKey(SimulatedHost* host, int32_t key, bool down);
// The same for every key at once (`keyStates` holds one byte per key).
int32_t SimulatedHostSetKeys(SimulatedHost* host, const uint8_t* keyStates, int32_t keyCount);
// A new status block, every word the next mark, with id 56. Returns the
// driver's answer; `mark` receives the mark.
int32_t SimulatedHostSendStatus(SimulatedHost* host, int32_t* mark);

// Starts the reading thread: once the keypad opens it runs `script` step by
// step, each after its delay.
void SimulatedHostRunScript(SimulatedHost* host, const std::vector<HostStep>& script);
// Waits for the script's end; false on timeout.
bool SimulatedHostWaitScript(SimulatedHost* host, DWORD timeoutMs);
