// A driver instance set up for a fuzz target the way Create and a connection
// leave it, without the Windows parts.
#pragma once

#include "driver/driver_instance.h"
#include "engine/instance_lifetime.h"

inline DriverInstance* FuzzInstanceCreate(QP240REMOTE_Callback callback, intptr_t userValue) {
    return InstanceCreate(callback, userValue, QP240REMOTE_Context{0, 0, 0});
}

inline void FuzzInstanceDestroy(DriverInstance* instance) {
    // As Destroy lets go: hold, claim, release.
    InstanceHold(instance);
    InstanceClaim(instance);
    InstanceRelease(instance);
}
