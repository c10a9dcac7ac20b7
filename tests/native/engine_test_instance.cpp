#include "tests/native/engine_test_instance.h"

#include <cstring>

#include "engine/instance_lifetime.h"
#include "engine/report_intake.h"

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

DriverInstance* MakeTestInstance(TestHost* host) {
    DriverInstance* instance = InstanceCreate(TestHostCallback, reinterpret_cast<intptr_t>(host),
                                              QP240REMOTE_Context{0, 0, 0});
    host->instance = instance;
    return instance;
}

void FreeTestInstance(DriverInstance* instance) {
    // As Destroy lets go: hold, claim, release.
    InstanceHold(instance);
    InstanceClaim(instance);
    InstanceRelease(instance);
}

void ConnectTestInstance(DriverInstance* instance, HANDLE device, uint32_t productId) {
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
