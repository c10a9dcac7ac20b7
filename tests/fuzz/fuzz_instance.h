// An engine set up for a fuzz target the way Create and a connection leave it,
// without the Windows parts: the driver's own instance record, of which the
// targets use the engine.
#pragma once

#include "driver/instance_record.h"
#include "engine/instance_lifetime.h"

inline KeypadEngine* FuzzInstanceCreate(QP240REMOTE_Callback callback, intptr_t userValue) {
    return &InstanceRecordCreate(callback, userValue, QP240REMOTE_Context{0, 0, 0})->engine;
}

inline void FuzzInstanceDestroy(KeypadEngine* engine) {
    // As Destroy lets go: hold, claim, release.
    InstanceLifetime* lifetime = engine->lifetime;
    InstanceHold(lifetime);
    InstanceClaim(lifetime);
    InstanceRelease(lifetime);
}
