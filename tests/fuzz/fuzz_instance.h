// A driver instance set up for a fuzz target the way Create and a connection
// leave it, without the Windows parts.
#pragma once

#include <cstring>
#include <new>

#include "driver/driver_instance.h"

inline DriverInstance* FuzzInstanceCreate(HostCallback callback, intptr_t userValue) {
    DriverInstance* instance = new (std::nothrow) DriverInstance{};
    if (instance == nullptr)
        return nullptr;
    std::memcpy(instance->signature, kProfile.guid, sizeof instance->signature);
    instance->flags.store(kInstanceCreated);
    instance->callback = callback;
    instance->userValue = userValue;
    ReportQueueInit(&instance->reportQueue, kProfile.keyCount);
    StatusExchangeInit(&instance->statusExchange);
    return instance;
}

inline void FuzzInstanceDestroy(DriverInstance* instance) {
    StatusExchangeFree(&instance->statusExchange);
    ReportQueueFree(&instance->reportQueue);
    delete instance;
}
