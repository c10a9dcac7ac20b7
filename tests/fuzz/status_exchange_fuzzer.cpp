// Arbitrary sequences of host writes (of any size, or a null block), worker
// reads and re-primings through the status exchange, checked after every step
// against a small model of the three slots: which block the worker holds, and
// that it never goes back to an older one.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdlib>

#include "engine/status_exchange.h"
#include "tests/fuzz/fuzz_instance.h"

namespace {

// The three slots as the exchange must behave, one step at a time.
struct SlotModel {
    int state[3];
    int32_t content[3];  // the sequence number each slot holds
    int writer;
    int reader;
    int lastConsumed;  // -1: none
    int32_t block;     // what the instance's status block holds
};

void ModelPrime(SlotModel* model) {
    model->state[0] = 1;
    model->state[1] = model->state[2] = 0;
    model->writer = 1;
    model->reader = 0;
    model->lastConsumed = -1;
}

void ModelWrite(SlotModel* model, int32_t sequence) {
    const int w = model->writer, n = (w + 1) % 3;
    int chosen = w;
    if (model->state[w] != 0) {
        if (model->state[n] == 0)
            chosen = n;
        else
            model->state[w] = 0;
    }
    model->writer = chosen;
    model->content[chosen] = sequence;
    model->state[chosen] = 1;
}

void ModelRead(SlotModel* model) {
    const int n = (model->reader + 1) % 3;
    if (model->state[n] == 1) {
        model->state[model->reader] = 0;
        model->reader = n;
    }
    if (model->reader != model->lastConsumed) {
        model->lastConsumed = model->reader;
        model->block = model->content[model->reader];
    }
}

struct Host {
    int32_t nextSequence;
};

// Code 151: the host fills the whole block with a new sequence number.
int32_t FillStatus(intptr_t userValue, int32_t code, int32_t argument, void* pointer) {
    Host* host = reinterpret_cast<Host*>(userValue);
    if (code != QP240REMOTE_CODE_FILL_STATUS || argument != QP240REMOTE_HOST_STATUS_SIZE ||
        pointer == nullptr)
        std::abort();
    HostStatusBlock* block = static_cast<HostStatusBlock*>(pointer);
    const int32_t sequence = host->nextSequence++;
    for (int32_t& word : block->words)
        word = sequence;
    return 0;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzedDataProvider input(data, size);
    Host host = {1};
    KeypadEngine* instance = FuzzInstanceCreate(FillStatus, reinterpret_cast<intptr_t>(&host));
    if (instance == nullptr)
        return 0;
    SlotModel model = {};
    ModelPrime(&model);
    bool connected = false;

    HostStatusBlock written;
    while (input.remaining_bytes() > 0) {
        switch (input.ConsumeIntegralInRange<int>(0, 5)) {
            case 0:
            case 1: {
                const int32_t sequence = host.nextSequence++;
                for (int32_t& word : written.words)
                    word = sequence;
                StatusExchangeWrite(&instance->statusExchange, &written,
                                    QP240REMOTE_HOST_STATUS_SIZE);
                ModelWrite(&model, sequence);
                break;
            }
            case 2: {
                // Blocks the exchange must ignore.
                for (int32_t& word : written.words)
                    word = -1;
                const int32_t badSize = input.ConsumeIntegralInRange<int32_t>(-4, 400);
                StatusExchangeWrite(&instance->statusExchange, &written,
                                    badSize == QP240REMOTE_HOST_STATUS_SIZE ? badSize + 1
                                                                            : badSize);
                StatusExchangeWrite(&instance->statusExchange, nullptr,
                                    QP240REMOTE_HOST_STATUS_SIZE);
                break;
            }
            case 3:
            case 4:
                // The worker reads only once connected, and every connection
                // re-primes first.
                if (connected) {
                    StatusExchangeRead(instance);
                    ModelRead(&model);
                    break;
                }
                [[fallthrough]];
            default:
                StatusExchangeReset(instance);
                ModelPrime(&model);
                model.content[0] = host.nextSequence - 1;
                model.block = host.nextSequence - 1;
                connected = true;
                break;
        }
        if (connected)
            for (int32_t word : instance->statusBlock.words)
                if (word != model.block)
                    std::abort();
    }
    FuzzInstanceDestroy(instance);
    return 0;
}
