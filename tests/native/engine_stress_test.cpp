// Two-thread runs through the ring, the intake and the status exchange,
// checking order and content; built under ThreadSanitizer they also check
// that every cross-thread access is ordered.
#include <atomic>
#include <cstring>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "engine/report_intake.h"
#include "engine/report_queue.h"
#include "engine/status_exchange.h"
#include "tests/native/engine_test_instance.h"

namespace {

constexpr int32_t kElement = kProfile.keyCount;

// Sanitizers slow these down by an order of magnitude; the counts keep each
// run within seconds under ThreadSanitizer.
constexpr uint32_t kRingSnapshots = 2000000;
constexpr uint32_t kIntakeReportsPerProducer = 200000;
constexpr int32_t kStatusBlocks = 300000;

void FillSnapshot(uint8_t* bytes, uint32_t sequence) {
    std::memcpy(bytes, &sequence, sizeof sequence);
    for (int32_t i = 4; i < kElement; ++i)
        bytes[i] = static_cast<uint8_t>(sequence * 31u + static_cast<uint32_t>(i));
}

bool SnapshotIsWhole(const uint8_t* bytes, uint32_t* sequence) {
    std::memcpy(sequence, bytes, sizeof *sequence);
    for (int32_t i = 4; i < kElement; ++i)
        if (bytes[i] != static_cast<uint8_t>(*sequence * 31u + static_cast<uint32_t>(i)))
            return false;
    return true;
}

TEST(RingStress, MillionsOfSnapshotsArriveWholeAndInOrder) {
    ReportQueue queue = {};
    ASSERT_EQ(ReportQueueInit(&queue, kElement), 0);
    std::thread producer([&queue] {
        uint8_t snapshot[kElement];
        for (uint32_t sequence = 0; sequence < kRingSnapshots;) {
            FillSnapshot(snapshot, sequence);
            if (ReportQueuePush(&queue, snapshot) == 0)
                ++sequence;
            else
                std::this_thread::yield();  // full: let the consumer catch up
        }
    });
    uint32_t expected = 0;
    uint32_t bad = 0;
    uint8_t snapshot[kElement];
    while (expected < kRingSnapshots) {
        if (!ReportQueuePop(&queue, snapshot)) {
            std::this_thread::yield();
            continue;
        }
        uint32_t sequence;
        if (!SnapshotIsWhole(snapshot, &sequence) || sequence != expected)
            ++bad;
        expected = sequence + 1;
    }
    producer.join();
    EXPECT_EQ(bad, 0u);
    EXPECT_FALSE(ReportQueuePop(&queue, snapshot));
    ReportQueueFree(&queue);
}

// Several host threads feed one keypad's reports through the intake at once:
// the producer guard keeps one of them in the ring at a time.
TEST(IntakeStress, ConcurrentProducersKeepEachOnesOrderAndLoseNothingUncounted) {
    constexpr int32_t kProducers = 3;
    TestHost host;
    KeypadEngine* instance = MakeTestInstance(&host);
    HANDLE const device = reinterpret_cast<HANDLE>(0x77);
    const uint32_t product = kProfile.productIds[kProfile.productIdCount - 1];
    ConnectTestInstance(instance, device, product);

    std::atomic<int32_t> running{kProducers};
    std::vector<std::thread> producers;
    // The worker records the product id of every keypad it offers; a late
    // id-55 call may read it meanwhile (the same id here, so layouts agree).
    std::thread offers([&] {
        while (running.load() != 0)
            RecordProductId(instance, product);
    });
    for (int32_t p = 0; p < kProducers; ++p) {
        producers.emplace_back([&, p] {
            std::vector<uint8_t> report(4 + kElement, 0);
            std::vector<uint8_t> record = MakeRecord(device, report, 4 + kElement);
            uint8_t* keys = &record[32 + 4];
            for (uint32_t sequence = 0; sequence < kIntakeReportsPerProducer; ++sequence) {
                keys[0] = static_cast<uint8_t>(p);
                std::memcpy(keys + 1, &sequence, sizeof sequence);
                ASSERT_EQ(ReportIntake(instance, record.data()), 0);
                if (sequence % 64 == 0)
                    std::this_thread::yield();
            }
            running.fetch_sub(1);
        });
    }
    int64_t delivered = 0;
    int64_t nextOf[kProducers] = {};
    int32_t outOfOrder = 0;
    uint8_t snapshot[kElement];
    for (;;) {
        const bool producersDone = running.load() == 0;
        if (!ReportQueuePop(&instance->reportQueue, snapshot)) {
            if (producersDone)
                break;
            std::this_thread::yield();
            continue;
        }
        const int32_t p = snapshot[0];
        uint32_t sequence;
        std::memcpy(&sequence, snapshot + 1, sizeof sequence);
        ASSERT_LT(p, kProducers);
        if (static_cast<int64_t>(sequence) < nextOf[p])
            ++outOfOrder;
        nextOf[p] = static_cast<int64_t>(sequence) + 1;
        ++delivered;
    }
    for (std::thread& producer : producers)
        producer.join();
    offers.join();
    EXPECT_EQ(outOfOrder, 0);
    EXPECT_EQ(delivered + instance->reportQueue.refusedCount.load(),
              int64_t{kProducers} * kIntakeReportsPerProducer);
    EXPECT_GT(delivered, 0);
    FreeTestInstance(instance);
}

// The mark of a block whose 43 words agree, or -1 for a torn one.
int32_t WholeMark(const HostStatusBlock& block) {
    for (int32_t word : block.words)
        if (word != block.words[0])
            return -1;
    return block.words[0];
}

TEST(ExchangeStress, EveryCopiedBlockIsWholeAndNeverOlderThanTheOneBefore) {
    TestHost host;
    KeypadEngine* instance = MakeTestInstance(&host);
    host.onCall = [](KeypadEngine* self, const HostCall& call) {
        if (call.code == QP240REMOTE_CODE_FILL_STATUS)
            self->statusBlock = Block(0);
    };
    StatusExchangeReset(instance);

    std::atomic<bool> done{false};
    std::thread writer([&] {
        for (int32_t mark = 1; mark <= kStatusBlocks; ++mark) {
            const HostStatusBlock block = Block(mark);
            StatusExchangeWrite(&instance->statusExchange, &block, QP240REMOTE_HOST_STATUS_SIZE);
        }
        done.store(true);
    });
    int32_t last = 0;
    int32_t torn = 0;
    int32_t older = 0;
    int32_t copies = 0;
    for (bool finished = false; !finished;) {
        finished = done.load();
        StatusExchangeRead(instance);
        const int32_t mark = WholeMark(instance->statusBlock);
        if (mark < 0)
            ++torn;
        else if (mark < last)
            ++older;
        else if (mark > last)
            ++copies;
        last = mark < 0 ? last : mark;
    }
    writer.join();
    StatusExchangeRead(instance);
    StatusExchangeRead(instance);
    EXPECT_EQ(torn, 0);
    EXPECT_EQ(older, 0);
    EXPECT_GT(copies, 0);
    EXPECT_EQ(WholeMark(instance->statusBlock), kStatusBlocks);  // the newest, within two passes
    FreeTestInstance(instance);
}

// Two host threads write while the worker reads and, now and then, a new
// connection re-primes the exchange: every copy stays whole.
TEST(ExchangeStress, TwoWritersAndRePrimingNeverTearABlock) {
    TestHost host;
    KeypadEngine* instance = MakeTestInstance(&host);
    host.onCall = [](KeypadEngine* self, const HostCall& call) {
        if (call.code == QP240REMOTE_CODE_FILL_STATUS)
            self->statusBlock = Block(7);
    };
    std::atomic<int32_t> writing{2};
    auto writeBlocks = [&](int32_t first) {
        for (int32_t i = 0; i < kStatusBlocks / 4; ++i) {
            const HostStatusBlock block = Block(first + i);
            StatusExchangeWrite(&instance->statusExchange, &block, QP240REMOTE_HOST_STATUS_SIZE);
        }
        writing.fetch_sub(1);
    };
    std::thread first(writeBlocks, 1000);
    std::thread second(writeBlocks, 1000000);
    int32_t torn = 0;
    for (int32_t pass = 0; writing.load() > 0; ++pass) {
        if (pass % 1000 == 0) {
            StatusExchangeReset(instance);
            host.calls.clear();
        }
        StatusExchangeRead(instance);
        if (WholeMark(instance->statusBlock) < 0)
            ++torn;
    }
    first.join();
    second.join();
    EXPECT_EQ(torn, 0);
    FreeTestInstance(instance);
}

}  // namespace
