// The check every export that takes a handle makes first.
#pragma once

#include "driver/driver_instance.h"

enum HandleStatus {
    kHandleBad,         // null, unreadable, or not this deliverable's GUID
    kHandleNotCreated,  // this deliverable's record, created bit clear
    kHandleValid,
};

// Steps 1 to 4 of the check, with no side effect.
HandleStatus CheckHandle(const void* handle);

// The instance behind a valid handle, else null. A record whose created bit is
// clear records "Object not created" as the last-error text.
DriverInstance* InstanceFromHandle(void* handle);
