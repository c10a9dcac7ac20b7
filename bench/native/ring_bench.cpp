// The report ring side by side with two other queues in one run: a
// mutex-guarded ring of the same shape and boost::lockfree::spsc_queue, each
// with one producer and one consumer thread, and uncontended on one thread.
#include <atomic>
#include <chrono>
#include <cstring>
#include <mutex>
#include <thread>

#include <benchmark/benchmark.h>
#include <boost/lockfree/spsc_queue.hpp>

#include "engine/report_queue.h"

namespace {

struct Snapshot {
    uint8_t keys[32];
};

// The same 128-slot ring with one slot kept empty, guarded by a mutex.
struct MutexRing {
    std::mutex lock;
    Snapshot slots[kReportQueueCapacity];
    int32_t read = 0, write = 0;
};

bool MutexPush(MutexRing* ring, const Snapshot& snapshot) {
    std::lock_guard<std::mutex> guard(ring->lock);
    const int32_t next = (ring->write + 1) % kReportQueueCapacity;
    if (next == ring->read)
        return false;
    ring->slots[ring->write] = snapshot;
    ring->write = next;
    return true;
}

bool MutexPop(MutexRing* ring, Snapshot* snapshot) {
    std::lock_guard<std::mutex> guard(ring->lock);
    if (ring->read == ring->write)
        return false;
    *snapshot = ring->slots[ring->read];
    ring->read = (ring->read + 1) % kReportQueueCapacity;
    return true;
}

typedef boost::lockfree::spsc_queue<Snapshot, boost::lockfree::capacity<kReportQueueCapacity>>
    BoostRing;

// One thread pushes `count` snapshots while another pops them; returns the
// seconds taken. Snapshot i carries i in its first bytes.
template <typename Push, typename Pop>
double TwoThreadRun(int64_t count, Push push, Pop pop) {
    const auto start = std::chrono::steady_clock::now();
    std::thread consumer([&] {
        Snapshot snapshot;
        for (int64_t taken = 0; taken < count;)
            if (pop(&snapshot))
                ++taken;
    });
    Snapshot snapshot = {};
    for (int64_t i = 0; i < count; ++i) {
        std::memcpy(snapshot.keys, &i, sizeof i);
        while (!push(snapshot)) {
        }
    }
    consumer.join();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

constexpr int64_t kSnapshotsPerRun = 1 << 16;

void BM_TwoThreads_ReportQueue(benchmark::State& state) {
    ReportQueue ring = {};
    ReportQueueInit(&ring, 32);
    for (auto _ : state)
        state.SetIterationTime(TwoThreadRun(
            kSnapshotsPerRun,
            [&](const Snapshot& s) { return ReportQueuePush(&ring, s.keys) == 0; },
            [&](Snapshot* s) { return ReportQueuePop(&ring, s->keys); }));
    state.SetItemsProcessed(state.iterations() * kSnapshotsPerRun);
    ReportQueueFree(&ring);
}
BENCHMARK(BM_TwoThreads_ReportQueue)->UseManualTime()->Unit(benchmark::kMillisecond);

void BM_TwoThreads_MutexRing(benchmark::State& state) {
    MutexRing ring;
    for (auto _ : state)
        state.SetIterationTime(TwoThreadRun(
            kSnapshotsPerRun, [&](const Snapshot& s) { return MutexPush(&ring, s); },
            [&](Snapshot* s) { return MutexPop(&ring, s); }));
    state.SetItemsProcessed(state.iterations() * kSnapshotsPerRun);
}
BENCHMARK(BM_TwoThreads_MutexRing)->UseManualTime()->Unit(benchmark::kMillisecond);

void BM_TwoThreads_BoostSpsc(benchmark::State& state) {
    BoostRing ring;
    for (auto _ : state)
        state.SetIterationTime(TwoThreadRun(
            kSnapshotsPerRun, [&](const Snapshot& s) { return ring.push(s); },
            [&](Snapshot* s) { return ring.pop(*s); }));
    state.SetItemsProcessed(state.iterations() * kSnapshotsPerRun);
}
BENCHMARK(BM_TwoThreads_BoostSpsc)->UseManualTime()->Unit(benchmark::kMillisecond);

// One push and one pop on one thread: the uncontended cost of each queue.
void BM_PushPop_ReportQueue(benchmark::State& state) {
    ReportQueue ring = {};
    ReportQueueInit(&ring, 32);
    Snapshot snapshot = {};
    for (auto _ : state) {
        ReportQueuePush(&ring, snapshot.keys);
        ReportQueuePop(&ring, snapshot.keys);
        benchmark::DoNotOptimize(snapshot);
    }
    ReportQueueFree(&ring);
}
BENCHMARK(BM_PushPop_ReportQueue);

void BM_PushPop_MutexRing(benchmark::State& state) {
    MutexRing ring;
    Snapshot snapshot = {};
    for (auto _ : state) {
        MutexPush(&ring, snapshot);
        MutexPop(&ring, &snapshot);
        benchmark::DoNotOptimize(snapshot);
    }
}
BENCHMARK(BM_PushPop_MutexRing);

void BM_PushPop_BoostSpsc(benchmark::State& state) {
    BoostRing ring;
    Snapshot snapshot = {};
    for (auto _ : state) {
        ring.push(snapshot);
        ring.pop(snapshot);
        benchmark::DoNotOptimize(snapshot);
    }
}
BENCHMARK(BM_PushPop_BoostSpsc);

}  // namespace

BENCHMARK_MAIN();
