#include "tools/host_simulator/simulated_host.h"

#include <cstdio>
#include <cstring>

#include "tools/host_simulator/callback_log.h"
#include "tools/host_simulator/simulated_keypads.h"

void SimulatedHostInit(SimulatedHost* host, const Deliverable* driver, const char* label) {
    host->driver = driver;
    host->instance = nullptr;
    std::snprintf(host->label, sizeof host->label, "%s", label);
    host->print = false;
    host->refusals = 0;
    host->accepting = 1;
    host->blockCode = 0;
    host->release = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    host->hook = nullptr;
    host->hookContext = nullptr;
    InitializeCriticalSection(&host->lock);
    host->calls.clear();
    host->openDevice = nullptr;
    host->statusBlock = nullptr;
    host->statusMark = 0;
    std::memset(host->keys, 0, sizeof host->keys);
    host->startTick = GetTickCount();
    host->reader = nullptr;
    host->opened = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    host->stop = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    host->script.clear();
    host->scriptDone = false;
}

void SimulatedHostFree(SimulatedHost* host) {
    if (host->reader != nullptr) {
        SetEvent(host->stop);
        WaitForSingleObject(host->reader, INFINITE);
        CloseHandle(host->reader);
        host->reader = nullptr;
    }
    CloseHandle(host->stop);
    CloseHandle(host->opened);
    CloseHandle(host->release);
    DeleteCriticalSection(&host->lock);
}

void* SimulatedHostCreate(SimulatedHost* host) {
    host->instance = host->driver->Create(SimulatedHostCallback, reinterpret_cast<intptr_t>(host));
    return host->instance;
}

static unsigned HostMilliseconds(const SimulatedHost* host) {
    return static_cast<unsigned>(GetTickCount() - host->startTick);
}

// Under the lock: what the host does with a call besides recording it.
// Returns the callback's answer.
static int32_t ServeCall(SimulatedHost* host, int32_t code, void* pointer) {
    switch (code) {
        case QP240REMOTE_CODE_OFFER_KEYPAD:
            if (host->refusals != 0) {
                if (host->refusals > 0)
                    --host->refusals;
                return 0;
            }
            host->openDevice = pointer;
            SetEvent(host->opened);
            return host->accepting;
        case QP240REMOTE_CODE_CLOSE_KEYPAD:
            host->openDevice = nullptr;
            ResetEvent(host->opened);
            return 0;
        case QP240REMOTE_CODE_FILL_STATUS:
            // The driver's block: the host fills all of it before it returns.
            host->statusBlock = static_cast<int32_t*>(pointer);
            ++host->statusMark;
            for (int32_t i = 0; i < kStatusBlockWords; ++i)
                host->statusBlock[i] = host->statusMark;
            return 0;
    }
    return 0;
}

int32_t SimulatedHostCallback(intptr_t userValue, int32_t code, int32_t argument, void* pointer) {
    SimulatedHost* host = reinterpret_cast<SimulatedHost*>(userValue);
    SimulatedHostCall call = {code,
                              argument,
                              pointer,
                              {},
                              GetCurrentThreadId(),
                              HostMilliseconds(host),
                              host->driver->GetDriverStatus(host->instance)};
    if (code == QP240REMOTE_CODE_MIDI_BYTES && pointer != nullptr && argument > 0) {
        const uint8_t* bytes = static_cast<const uint8_t*>(pointer);
        call.bytes.assign(bytes, bytes + argument);
    }
    EnterCriticalSection(&host->lock);
    host->calls.push_back(call);
    const int32_t answer = ServeCall(host, code, pointer);
    LeaveCriticalSection(&host->lock);

    if (host->print) {
        char line[768];
        DescribeCallback(line, sizeof line, code, argument, pointer);
        if (code == QP240REMOTE_CODE_OFFER_KEYPAD)
            LogLine("  [%s] %s -> host %s", host->label, line, answer ? "accepts" : "refuses");
        else
            LogLine("  [%s] %s", host->label, line);
    }
    if (host->hook != nullptr)
        host->hook(host, code);
    if (host->blockCode == code)
        WaitForSingleObject(host->release, INFINITE);
    return answer;
}

std::vector<SimulatedHostCall> SimulatedHostCalls(SimulatedHost* host) {
    EnterCriticalSection(&host->lock);
    std::vector<SimulatedHostCall> copy = host->calls;
    LeaveCriticalSection(&host->lock);
    return copy;
}

std::vector<SimulatedHostCall> SimulatedHostCallsWith(SimulatedHost* host, int32_t code) {
    std::vector<SimulatedHostCall> matching;
    for (const SimulatedHostCall& call : SimulatedHostCalls(host))
        if (call.code == code)
            matching.push_back(call);
    return matching;
}

std::vector<int32_t> SimulatedHostCodes(SimulatedHost* host) {
    std::vector<int32_t> codes;
    for (const SimulatedHostCall& call : SimulatedHostCalls(host))
        codes.push_back(call.code);
    return codes;
}

int32_t SimulatedHostCount(SimulatedHost* host, int32_t code) {
    int32_t count = 0;
    EnterCriticalSection(&host->lock);
    for (const SimulatedHostCall& call : host->calls)
        count += call.code == code;
    LeaveCriticalSection(&host->lock);
    return count;
}

bool SimulatedHostWaitFor(SimulatedHost* host, int32_t code, int32_t count, DWORD timeoutMs) {
    const DWORD start = GetTickCount();
    while (SimulatedHostCount(host, code) < count) {
        if (GetTickCount() - start >= timeoutMs)
            return false;
        Sleep(2);
    }
    return true;
}

bool SimulatedHostStartAndConnect(SimulatedHost* host, DWORD timeoutMs) {
    const int32_t connections = SimulatedHostCount(host, QP240REMOTE_CODE_CONNECTED);
    return host->driver->Start(host->instance) == QP240REMOTE_OK &&
           SimulatedHostWaitFor(host, QP240REMOTE_CODE_CONNECTED, connections + 1, timeoutMs);
}

HANDLE SimulatedHostOpenDevice(SimulatedHost* host) {
    EnterCriticalSection(&host->lock);
    const HANDLE device = host->openDevice;
    LeaveCriticalSection(&host->lock);
    return device;
}

// Reads the open keypad once: its report for the current key states, wrapped
// as a raw-input record, handed to the driver with id 55.
static int32_t SendReport(SimulatedHost* host, const char* what) {
    EnterCriticalSection(&host->lock);
    const HANDLE device = host->openDevice;
    uint8_t keys[kMaxKeypadKeys];
    std::memcpy(keys, host->keys, sizeof keys);
    LeaveCriticalSection(&host->lock);

    SimulatedDevice plugged;
    const KeypadModel* model = device != nullptr && SimulatedDeviceFind(device, &plugged)
                                   ? FindKeypadModel(plugged.productId)
                                   : nullptr;
    if (model == nullptr)
        return kNoKeypadOpen;
    uint8_t report[kRawInputRecordRoom];
    const uint32_t length = BuildKeypadReport(*model, keys, report);
    uint8_t record[kRawInputRecordRoom];
    const size_t size = WrapRawInputRecord(device, report, length, length, record, sizeof record);
    const int32_t result = host->driver->SetGetInformations(
        host->instance, QP240REMOTE_INFO_INPUT_REPORT, record, static_cast<int32_t>(size));
    if (host->print)
        LogLine("  [%s] host reads the keypad: %s (%u-byte report) -> %d", host->label, what,
                length, result);
    return result;
}

int32_t SimulatedHostSetKey(SimulatedHost* host, int32_t key, bool down) {
    if (key < 0 || key >= kMaxKeypadKeys)
        return kNoKeypadOpen;
    EnterCriticalSection(&host->lock);
    host->keys[key] = down ? 1 : 0;
    LeaveCriticalSection(&host->lock);
    // Numbered from 1 as on the keypad picture and in the key maps; the
    // index is what the report and the options use.
    char what[48];
    std::snprintf(what, sizeof what, "key %d (index %d) %s", key + 1, key, down ? "down" : "up");
    return SendReport(host, what);
}

int32_t SimulatedHostSetKeys(SimulatedHost* host, const uint8_t* keyStates, int32_t keyCount) {
    EnterCriticalSection(&host->lock);
    std::memset(host->keys, 0, sizeof host->keys);
    std::memcpy(host->keys, keyStates,
                static_cast<size_t>(keyCount < kMaxKeypadKeys ? keyCount : kMaxKeypadKeys));
    LeaveCriticalSection(&host->lock);
    return SendReport(host, "new key states");
}

int32_t SimulatedHostSendStatus(SimulatedHost* host, int32_t* mark) {
    int32_t block[kStatusBlockWords];
    EnterCriticalSection(&host->lock);
    const int32_t next = ++host->statusMark;
    LeaveCriticalSection(&host->lock);
    for (int32_t& word : block)
        word = next;
    const int32_t result = host->driver->SetGetInformations(
        host->instance, QP240REMOTE_INFO_HOST_STATUS, block, QP240REMOTE_HOST_STATUS_SIZE);
    if (host->print)
        LogLine("  [%s] host sends status block %d (id 56) -> %d", host->label, next, result);
    if (mark != nullptr)
        *mark = next;
    return result;
}

// A context step: the host reads the instance's context, changes one field
// and writes it back, as a host's own settings page would.
static void ChangeContext(SimulatedHost* host, HostStepKind kind, int32_t value) {
    QP240REMOTE_Context context = {};
    host->driver->GetContext(host->instance, &context);
    int32_t* field = kind == kStepKeyMode   ? &context.keyMode
                     : kind == kStepChannel ? &context.midiChannel
                                            : &context.padBank;
    *field = value;
    const int32_t result = host->driver->SetContext(host->instance, &context, sizeof context);
    if (!host->print)
        return;
    char change[64];
    if (kind == kStepKeyMode)
        std::snprintf(change, sizeof change, "key mode %s",
                      value == QP240REMOTE_KEY_MODE_MIDI ? "MIDI" : "pad protocol");
    else if (kind == kStepChannel)
        std::snprintf(change, sizeof change, "MIDI channel %d", value + 1);
    else
        std::snprintf(change, sizeof change, "PadBank %d", value);
    LogLine("  [%s] host sets %s -> %d", host->label, change, result);
}

static void RunStep(SimulatedHost* host, const HostStep& step) {
    switch (step.kind) {
        case kStepKeyDown:
        case kStepKeyUp:
            SimulatedHostSetKey(host, step.value, step.kind == kStepKeyDown);
            break;
        case kStepKeyMode:
        case kStepChannel:
        case kStepPadBank:
            ChangeContext(host, step.kind, step.value);
            break;
        case kStepStatusBlock:
            SimulatedHostSendStatus(host, nullptr);
            break;
    }
}

static DWORD WINAPI ReadingThread(LPVOID argument) {
    SimulatedHost* host = static_cast<SimulatedHost*>(argument);
    HANDLE events[2] = {host->stop, host->opened};
    if (WaitForMultipleObjects(2, events, FALSE, INFINITE) == WAIT_OBJECT_0 + 1) {
        for (const HostStep& step : host->script) {
            if (WaitForSingleObject(host->stop, step.delayMs) == WAIT_OBJECT_0)
                break;
            RunStep(host, step);
        }
    }
    EnterCriticalSection(&host->lock);
    host->scriptDone = true;
    LeaveCriticalSection(&host->lock);
    return 0;
}

void SimulatedHostRunScript(SimulatedHost* host, const std::vector<HostStep>& script) {
    host->script = script;
    host->scriptDone = false;
    ResetEvent(host->stop);
    host->reader = CreateThread(nullptr, 0, ReadingThread, host, 0, nullptr);
}

bool SimulatedHostWaitScript(SimulatedHost* host, DWORD timeoutMs) {
    const DWORD start = GetTickCount();
    for (;;) {
        EnterCriticalSection(&host->lock);
        const bool done = host->scriptDone;
        LeaveCriticalSection(&host->lock);
        if (done)
            return true;
        if (GetTickCount() - start >= timeoutMs)
            return false;
        Sleep(5);
    }
}
