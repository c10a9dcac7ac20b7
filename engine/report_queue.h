// The report ring between the host's report-reading thread (the producer,
// through id-55 calls) and the instance's worker (the consumer). Lock-free,
// single producer and single consumer: each side writes only its own index
// and publishes it with a release store; each side reads the other's index
// with an acquire load. Indexes wrap at the capacity and one slot always stays
// empty, so read index == write index means empty and at most 127 wait.
//
// Who may call what:
//   ReportQueueInit: Create, before anyone else knows the instance.
//   ReportQueueFree: whichever holder lets go of the record last (a host
//     thread, the worker at its end, or a box's thread), once no worker runs
//     and the producers' guard is retired (engine/instance_lifetime.h).
//   ReportQueuePush: the producer only (the intake serialises host threads).
//   ReportQueuePop: the worker only.
//   ReportQueueReset: the worker only, while the connected flag is 0 and with
//     the producers' guard held (engine/report_intake.h): a new id-55 call
//     answers -3 before it reaches the ring, and one held up since an earlier
//     connection cannot push with an index it read before the reset.
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
    std::atomic<int32_t> refusedCount;  // snapshots dropped (ring full or no storage) since reset
};

// Releases any storage held, then obtains capacity * elementSize zeroed bytes.
// Returns 0, or -1 when the storage could not be obtained (the ring then
// refuses every snapshot and never yields one).
int32_t ReportQueueInit(ReportQueue* queue, int32_t elementSize);
// Empties the ring and zeroes the refused count; the storage stays.
void ReportQueueReset(ReportQueue* queue);
// 0 when stored; -1 when refused (fewer than two free slots, or no storage),
// which adds one to the refused count.
int32_t ReportQueuePush(ReportQueue* queue, const uint8_t* snapshot);
// True when the oldest snapshot was copied to `snapshot` (elementSize bytes).
bool ReportQueuePop(ReportQueue* queue, uint8_t* snapshot);
// Releases the storage; safe to repeat.
void ReportQueueFree(ReportQueue* queue);
