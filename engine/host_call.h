// Every call the worker makes to the host goes through here.
#pragma once

#include "driver/driver_instance.h"

// Calls the host's callback with the instance's user value. A worker that
// Stop gave up waiting for, or whose instance Destroy has let go of, makes no
// further calls: the host has finished with the instance, and its user value
// may no longer mean anything. Such a call answers 0 (an offer counts as
// refused).
inline int32_t CallHost(DriverInstance* instance, int32_t code, int32_t argument, void* pointer) {
    // Acquire pairs with the release store in Stop or Destroy.
    if (instance->workerAbandoned.load(std::memory_order_acquire) != 0)
        return 0;
    return instance->callback(instance->userValue, code, argument, pointer);
}

// True once Stop or Destroy has given the running worker up.
inline bool WorkerAbandoned(const DriverInstance* instance) {
    // Acquire pairs with the release store in Stop or Destroy.
    return instance->workerAbandoned.load(std::memory_order_acquire) != 0;
}
