#include "driver/handle_check.h"

#include <cstring>

#include "driver/library_state.h"

HandleStatus CheckHandle(const void* handle) {
    if (handle == nullptr)
        return kHandleBad;
    // The check reads the whole record, so the whole record must be readable,
    // not just its signature.
    if (IsBadReadPtr(handle, sizeof(DriverInstance)))
        return kHandleBad;
    const DriverInstance* instance = static_cast<const DriverInstance*>(handle);
    if (std::memcmp(instance->signature, kProfile.guid, sizeof kProfile.guid) != 0)
        return kHandleBad;
    if ((instance->flags.load(std::memory_order_relaxed) & kInstanceCreated) == 0)
        return kHandleNotCreated;
    return kHandleValid;
}

DriverInstance* InstanceFromHandle(void* handle) {
    switch (CheckHandle(handle)) {
        case kHandleValid:
            return static_cast<DriverInstance*>(handle);
        case kHandleNotCreated:
            SetLastErrorText(kErrorObjectNotCreated);
            return nullptr;
        case kHandleBad:
            break;
    }
    return nullptr;
}
