#include "engine/report_queue.h"

#include <cstdlib>

int32_t ReportQueueInit(ReportQueue* queue, int32_t elementSize) {
    ReportQueueFree(queue);
    queue->capacity = kReportQueueCapacity;
    queue->elementSize = elementSize;
    ReportQueueReset(queue);
    queue->storage = static_cast<uint8_t*>(std::calloc(kReportQueueCapacity, elementSize));
    return queue->storage != nullptr ? 0 : -1;
}

void ReportQueueReset(ReportQueue* queue) {
    queue->readIndex.store(0);
    queue->writeIndex.store(0);
    queue->refusedCount.store(0);
}

int32_t ReportQueuePush(ReportQueue*, const uint8_t*) {
    return -1;
}

bool ReportQueuePop(ReportQueue*, uint8_t*) {
    return false;
}

void ReportQueueFree(ReportQueue* queue) {
    std::free(queue->storage);
    queue->storage = nullptr;
}
