#include "engine/instance_lifetime.h"

#include <cstdlib>
#include <cstring>
#include <new>

DriverInstance* InstanceCreate(HostCallback callback, intptr_t userValue,
                               const DriverContext& settings) {
    void* memory = std::malloc(sizeof(DriverInstance));
    if (memory == nullptr)
        return nullptr;
    std::memset(memory, 0, sizeof(DriverInstance));
    DriverInstance* instance = new (memory) DriverInstance{};
    instance->callback = callback;
    instance->userValue = userValue;
    // Relaxed: no other thread knows the record before Create returns it.
    instance->flags.store(kInstanceCreated, std::memory_order_relaxed);
    std::memcpy(instance->signature, kProfile.guid, sizeof instance->signature);
    WriteContext(instance, settings);
    ReportQueueInit(&instance->reportQueue, kProfile.keyCount);
    StatusExchangeInit(&instance->statusExchange);
    return instance;
}

// Releases what InstanceCreate acquired: the queue, the exchange, the record.
static void FreeInstance(DriverInstance* instance) {
    ReportQueueFree(&instance->reportQueue);
    StatusExchangeFree(&instance->statusExchange);
    // A stale handle to the freed block, still mapped in the heap, must fail
    // the GUID comparison: a second Destroy would free the record twice.
    std::memset(instance->signature, 0, sizeof instance->signature);
    instance->~DriverInstance();
    std::free(instance);
}

bool InstanceDestroyed(const DriverInstance* instance) {
    // Relaxed: only Destroy sets the bit, and the host makes no other call
    // with the handle while Destroy runs.
    return (instance->holders.load(std::memory_order_relaxed) & kHostLetGo) != 0;
}

void InstanceAddWorker(DriverInstance* instance) {
    // Relaxed: thread creation orders it before anything the worker does.
    instance->holders.fetch_add(kWorkerHold, std::memory_order_relaxed);
}

void InstanceDropWorker(DriverInstance* instance) {
    // acq_rel: the release half publishes this worker's last writes to whoever
    // frees the record; the acquire half lets this thread, if it frees, see
    // everything Destroy did before it let go.
    const uint32_t before = instance->holders.fetch_sub(kWorkerHold, std::memory_order_acq_rel);
    if (before == (kWorkerHold | kHostLetGo))
        FreeInstance(instance);
}

void InstanceDropHost(DriverInstance* instance) {
    // acq_rel, as in InstanceDropWorker, from the other side.
    const uint32_t before = instance->holders.fetch_or(kHostLetGo, std::memory_order_acq_rel);
    if (before < kWorkerHold)
        FreeInstance(instance);
}
