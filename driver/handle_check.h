// The check every export that takes a handle makes first, and the hold that
// keeps the record for the rest of the call (engine/instance_lifetime.h).
#pragma once

#include "driver/driver_instance.h"

enum HandleStatus {
    kHandleBad,         // null, unreadable, or not this deliverable's GUID
    kHandleNotCreated,  // this deliverable's record, created bit clear
    kHandleValid,
};

// Steps 1 to 4 of the check, with no side effect and no hold.
HandleStatus CheckHandle(const void* handle);

// The instance behind a valid handle, held (let go of with InstanceRelease),
// else null. A record of this deliverable whose created bit is clear, or that
// Destroy has claimed, records "Object not created" as the last-error text.
DriverInstance* HoldInstance(void* handle);
// The same, for the exports that answer only once the instance's run is over
// (Stop, GetDriverStatus): a record Destroy has claimed is still held, if it is
// not yet freed, so that the caller can wait for that end; its created bit is
// clear then. Sets no error text.
DriverInstance* HoldInstanceToEnd(void* handle);
