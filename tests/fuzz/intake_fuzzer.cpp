// Input reports of any length, content and device handle through the intake
// and the ring, checked against a model of the report layouts: every result
// code, every snapshot byte, the order, and the drops of a full ring.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdlib>
#include <deque>
#include <vector>

#include "engine/report_intake.h"
#include "include/qp240_remote.h"
#include "tests/fuzz/fuzz_instance.h"

namespace {

int32_t NoHost(intptr_t, int32_t, int32_t, void*) {
    return 0;
}

// What the intake must answer, and the snapshot it must queue on 0.
int32_t ExpectedIntake(uint32_t productId, const std::vector<uint8_t>& record,
                       std::vector<uint8_t>* snapshot) {
    uint32_t length = 0;
    std::memcpy(&length, record.data() + QP240REMOTE_RAWINPUT_REPORT_SIZE_OFFSET, 4);
    const uint8_t* report = record.data() + QP240REMOTE_RAWINPUT_REPORT_OFFSET;
    snapshot->assign(kProfile.keyCount, 0);
    if (KOLMAR_KEY_COUNT == 32) {
        if (length < 36)
            return QP240REMOTE_E_REPORT_TOO_SHORT;
        for (int k = 0; k < 32; ++k)
            (*snapshot)[k] = report[4 + k];
        return 0;
    }
    if (length < 17)
        return QP240REMOTE_E_REPORT_TOO_SHORT_15;
    if (productId == 0x60) {
        for (int k = 0; k < 15; ++k)
            (*snapshot)[k] = report[5 * (k / 5) + 5 - k % 5];
        return 0;
    }
    if (length < 19)
        return QP240REMOTE_E_KEYS_TOO_SHORT_15;
    for (int k = 0; k < 15; ++k)
        (*snapshot)[k] = report[4 + k];
    return 0;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzedDataProvider input(data, size);
    KeypadEngine* instance = FuzzInstanceCreate(NoHost, 0);
    if (instance == nullptr)
        return 0;

    const uint32_t productId =
        kProfile.productIds[input.ConsumeIntegralInRange<int>(0, kProfile.productIdCount - 1)];
    RecordProductId(instance, productId);
    HANDLE device = reinterpret_cast<HANDLE>(input.ConsumeIntegral<uintptr_t>() | 1);
    instance->deviceHandle.store(device);
    const bool connected = input.ConsumeIntegralInRange<int>(0, 15) != 0;
    instance->connectedFlag.store(connected ? 1 : 0);

    std::deque<std::vector<uint8_t>> waiting;  // the model of the ring
    int32_t refused = 0;
    std::vector<uint8_t> popped(kProfile.keyCount);
    while (input.remaining_bytes() > 0) {
        if (input.ConsumeIntegralInRange<int>(0, 3) == 0) {
            // The consumer takes one snapshot.
            const bool took = ReportQueuePop(&instance->reportQueue, popped.data());
            if (took != !waiting.empty())
                std::abort();
            if (took) {
                if (popped != waiting.front())
                    std::abort();
                waiting.pop_front();
            }
            continue;
        }
        // A record that holds 32 + dwSizeHid bytes, as the host must pass.
        const uint32_t length = input.ConsumeBool()
                                    ? input.ConsumeIntegralInRange<uint32_t>(0, 40)
                                    : input.ConsumeIntegralInRange<uint32_t>(0, 300);
        std::vector<uint8_t> record(32 + length, 0);
        const std::vector<uint8_t> bytes = input.ConsumeBytes<uint8_t>(length);
        std::copy(bytes.begin(), bytes.end(), record.begin() + 32);
        const bool fromDevice = input.ConsumeIntegralInRange<int>(0, 7) != 0;
        const HANDLE source =
            fromDevice ? device : reinterpret_cast<HANDLE>(input.ConsumeIntegral<uintptr_t>());
        std::memcpy(record.data() + 8, &source, sizeof source);
        std::memcpy(record.data() + 24, &length, 4);

        const int32_t result = ReportIntake(instance, record.data());
        std::vector<uint8_t> snapshot;
        int32_t expected = QP240REMOTE_E_NOT_CONNECTED;
        if (connected)
            expected = source != device ? QP240REMOTE_E_OTHER_DEVICE
                                        : ExpectedIntake(productId, record, &snapshot);
        if (result != expected)
            std::abort();
        if (result == 0) {
            if (waiting.size() < static_cast<size_t>(kReportQueueCapacity - 1))
                waiting.push_back(snapshot);
            else
                ++refused;
        }
    }
    if (instance->reportQueue.refusedCount.load() != refused)
        std::abort();
    if (!connected && ReportIntake(instance, nullptr) != QP240REMOTE_E_NOT_CONNECTED)
        std::abort();
    if (connected && ReportIntake(instance, nullptr) != QP240REMOTE_E_NULL_DATA)
        std::abort();
    while (!waiting.empty()) {
        if (!ReportQueuePop(&instance->reportQueue, popped.data()) || popped != waiting.front())
            std::abort();
        waiting.pop_front();
    }
    if (ReportQueuePop(&instance->reportQueue, popped.data()))
        std::abort();
    FuzzInstanceDestroy(instance);
    return 0;
}
