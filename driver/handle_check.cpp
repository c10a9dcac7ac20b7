#include "driver/handle_check.h"

#include "driver/library_state.h"
#include "engine/instance_lifetime.h"

// Steps 1 to 3: null, readable, this deliverable's signature.
static bool LooksLikeARecord(const void* handle) {
    if (handle == nullptr)
        return false;
    // The check reads the whole record, so the whole record must be readable,
    // not just its signature.
    if (IsBadReadPtr(handle, sizeof(DriverInstance)))
        return false;
    return SignatureIs(static_cast<const DriverInstance*>(handle), kProfile.guid);
}

static bool Created(const DriverInstance* instance) {
    // Relaxed: a value of the moment; the flags change under the lifecycle
    // lock, which the calls that act on them take.
    return (instance->engine.flags.load(std::memory_order_relaxed) & kInstanceCreated) != 0;
}

HandleStatus CheckHandle(const void* handle) {
    if (!LooksLikeARecord(handle))
        return kHandleBad;
    return Created(static_cast<const DriverInstance*>(handle)) ? kHandleValid : kHandleNotCreated;
}

DriverInstance* HoldInstance(void* handle) {
    if (!LooksLikeARecord(handle))
        return nullptr;
    DriverInstance* instance = static_cast<DriverInstance*>(handle);
    if (!InstanceHold(&instance->lifetime)) {
        SetLastErrorText(kErrorObjectNotCreated);
        return nullptr;
    }
    if (!Created(instance)) {
        InstanceRelease(&instance->lifetime);
        SetLastErrorText(kErrorObjectNotCreated);
        return nullptr;
    }
    return instance;
}

DriverInstance* HoldInstanceToEnd(void* handle) {
    if (!LooksLikeARecord(handle))
        return nullptr;
    DriverInstance* instance = static_cast<DriverInstance*>(handle);
    return InstanceHoldToEnd(&instance->lifetime) ? instance : nullptr;
}
