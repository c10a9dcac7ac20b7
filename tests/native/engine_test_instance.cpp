#include "tests/native/engine_test_instance.h"

#include <cstring>
#include <memory>
#include <mutex>

#include "engine/instance_lifetime.h"
#include "engine/report_intake.h"

// The engine with the lifetime record it points to, as the driver's instance
// record embeds both.
struct TestInstance {
    KeypadEngine engine;
    InstanceLifetime lifetime;
};

// Freed records keep their memory until the program ends, as the driver's
// quarantine keeps it for a while: a test may still read a freed record's
// holders word.
static std::mutex g_freedGuard;
static std::vector<std::unique_ptr<TestInstance>> g_freed;

static void FreeTestRecord(void* owner) {
    TestInstance* record = static_cast<TestInstance*>(owner);
    KeypadEngineFree(&record->engine);
    const std::lock_guard<std::mutex> guard(g_freedGuard);
    g_freed.emplace_back(record);
}

static int32_t TestHostCallback(intptr_t userValue, int32_t code, int32_t argument, void* pointer) {
    TestHost* host = reinterpret_cast<TestHost*>(userValue);
    HostCall call{code, argument, pointer, {}};
    if (code == QP240REMOTE_CODE_MIDI_BYTES && pointer != nullptr && argument > 0) {
        const uint8_t* bytes = static_cast<const uint8_t*>(pointer);
        call.bytes.assign(bytes, bytes + argument);
    }
    host->calls.push_back(call);
    if (host->onCall)
        host->onCall(host->instance, host->calls.back());
    return 0;
}

KeypadEngine* MakeTestInstance(TestHost* host) {
    TestInstance* record = new TestInstance{};
    record->lifetime.freeInstance = FreeTestRecord;
    record->lifetime.owner = record;
    KeypadEngineInit(&record->engine, TestHostCallback, reinterpret_cast<intptr_t>(host),
                     QP240REMOTE_Context{0, 0, 0}, &record->lifetime);
    host->instance = &record->engine;
    return &record->engine;
}

void FreeTestInstance(KeypadEngine* instance) {
    // As Destroy lets go: hold, claim, release.
    InstanceLifetime* lifetime = instance->lifetime;
    InstanceHold(lifetime);
    InstanceClaim(lifetime);
    InstanceRelease(lifetime);
}

void ConnectTestInstance(KeypadEngine* instance, HANDLE device, uint32_t productId) {
    RecordProductId(instance, productId);
    instance->deviceHandle.store(device);
    ReportQueueReset(&instance->reportQueue);
    RaiseConnectedFlag(instance);
}

std::vector<uint8_t> MakeRecord(HANDLE device, const std::vector<uint8_t>& report,
                                uint32_t statedLength) {
    std::vector<uint8_t> record(QP240REMOTE_RAWINPUT_REPORT_OFFSET + report.size());
    std::memcpy(&record[QP240REMOTE_RAWINPUT_DEVICE_OFFSET], &device, sizeof device);
    std::memcpy(&record[QP240REMOTE_RAWINPUT_REPORT_SIZE_OFFSET], &statedLength,
                sizeof statedLength);
    if (!report.empty())
        std::memcpy(&record[QP240REMOTE_RAWINPUT_REPORT_OFFSET], report.data(), report.size());
    return record;
}

std::vector<int32_t> Codes(const TestHost& host) {
    std::vector<int32_t> codes;
    for (const HostCall& call : host.calls)
        codes.push_back(call.code);
    return codes;
}

HostStatusBlock Block(int32_t mark) {
    HostStatusBlock block;
    for (int32_t& word : block.words)
        word = mark;
    return block;
}
