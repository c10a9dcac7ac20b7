#include "engine/report_queue.h"

#include <cstdlib>
#include <cstring>

int32_t ReportQueueInit(ReportQueue* queue, int32_t elementSize) {
    ReportQueueFree(queue);
    queue->capacity = kReportQueueCapacity;
    queue->elementSize = elementSize;
    ReportQueueReset(queue);
    queue->storage = static_cast<uint8_t*>(
        std::calloc(static_cast<size_t>(kReportQueueCapacity), static_cast<size_t>(elementSize)));
    return queue->storage != nullptr ? 0 : -1;
}

void ReportQueueReset(ReportQueue* queue) {
    // Relaxed: the worker resets while no producer can reach the ring (with
    // the producers' guard held when it connects a keypad), and the release
    // store of the connected flag that follows publishes these zeros to the
    // next producer.
    queue->readIndex.store(0, std::memory_order_relaxed);
    queue->writeIndex.store(0, std::memory_order_relaxed);
    queue->refusedCount.store(0, std::memory_order_relaxed);
}

static int32_t NextIndex(const ReportQueue* queue, int32_t index) {
    return index + 1 == queue->capacity ? 0 : index + 1;
}

int32_t ReportQueuePush(ReportQueue* queue, const uint8_t* snapshot) {
    // A ring whose storage could not be obtained refuses as if it were full.
    // The refused count is a statistic that orders nothing: relaxed.
    if (queue->storage == nullptr) {
        queue->refusedCount.fetch_add(1, std::memory_order_relaxed);
        return -1;
    }
    // Own index: only this side writes it.
    const int32_t write = queue->writeIndex.load(std::memory_order_relaxed);
    // Acquire pairs with the release store of the read index in ReportQueuePop:
    // a slot the consumer gave back has been copied out before it is refilled.
    const int32_t read = queue->readIndex.load(std::memory_order_acquire);
    const int32_t freeSlots = read == write  ? queue->capacity
                              : read > write ? read - write
                                             : queue->capacity - write + read;
    if (freeSlots < 2) {
        queue->refusedCount.fetch_add(1, std::memory_order_relaxed);
        return -1;
    }
    std::memcpy(queue->storage + static_cast<size_t>(write) * queue->elementSize, snapshot,
                static_cast<size_t>(queue->elementSize));
    // Release pairs with the acquire load of the write index in ReportQueuePop:
    // the slot's bytes are in place before the consumer can see the new index.
    queue->writeIndex.store(NextIndex(queue, write), std::memory_order_release);
    return 0;
}

bool ReportQueuePop(ReportQueue* queue, uint8_t* snapshot) {
    if (queue->storage == nullptr)
        return false;
    // Own index: only this side writes it.
    const int32_t read = queue->readIndex.load(std::memory_order_relaxed);
    // Acquire pairs with the release store of the write index in ReportQueuePush.
    const int32_t write = queue->writeIndex.load(std::memory_order_acquire);
    if (read == write)
        return false;
    std::memcpy(snapshot, queue->storage + static_cast<size_t>(read) * queue->elementSize,
                static_cast<size_t>(queue->elementSize));
    // Release pairs with the acquire load of the read index in ReportQueuePush:
    // the slot is copied out before the producer may reuse it.
    queue->readIndex.store(NextIndex(queue, read), std::memory_order_release);
    return true;
}

void ReportQueueFree(ReportQueue* queue) {
    if (queue->storage != nullptr) {
        std::free(queue->storage);
        queue->storage = nullptr;
    }
}
