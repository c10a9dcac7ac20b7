// The report ring between the host's report-reading thread (the producer,
// through id-55 calls) and the instance's worker (the consumer). Lock-free,
// single producer and single consumer: each side writes only its own index.
//
// Who may call what:
//   ReportQueueInit, ReportQueueFree: the thread that creates or destroys the
//     instance, while no worker runs.
//   ReportQueuePush: the producer only.
//   ReportQueuePop: the worker only.
//   ReportQueueReset: the worker only, while the connected flag is 0, so that
//     no producer is inside ReportQueuePush.
#pragma once

#include <atomic>
#include <cstdint>

inline constexpr int32_t kReportQueueCapacity = 128;  // slots; one always stays empty

struct ReportQueue {
    uint8_t* storage;                   // capacity * elementSize bytes, or null when not obtained
    int32_t capacity;                   // slots: 128
    int32_t elementSize;                // bytes per slot: one key-state snapshot
    std::atomic<int32_t> readIndex;     // written by the consumer only
    std::atomic<int32_t> writeIndex;    // written by the producer only
    std::atomic<int32_t> refusedCount;  // snapshots dropped on a full ring, since the last reset
};

// Returns 0, or -1 when the storage could not be obtained (the ring then refuses
// every snapshot).
int32_t ReportQueueInit(ReportQueue* queue, int32_t elementSize);
void ReportQueueReset(ReportQueue* queue);
// 0 when stored; -1 when refused (ring full or without storage).
int32_t ReportQueuePush(ReportQueue* queue, const uint8_t* snapshot);
// True when a snapshot was copied to `snapshot` (elementSize bytes).
bool ReportQueuePop(ReportQueue* queue, uint8_t* snapshot);
void ReportQueueFree(ReportQueue* queue);
