// What Create makes for a DriverInstance, and what becomes of the record once
// the last holder lets go of it (engine/instance_lifetime.h).
//
// A freed record's memory is not handed back at once: it waits in a
// quarantine, its signature cleared and its holders word left as it was, until
// a later free finds that QP240REMOTE_STALE_HANDLE_CREATES further Creates have
// been made. A handle used after its Destroy returned meanwhile reads a record
// that fails the handle check instead of acting on a new instance made at the
// same address.
#pragma once

#include <cstdint>

#include "driver/driver_instance.h"

// Create's record: allocated and zeroed, with the deliverable's GUID, its
// engine made (engine/keypad_engine.h) with the given callback, user value and
// settings, its box record bound to them, and its free handed to its lifetime
// record. Null when the record cannot be allocated. Nobody holds it yet; it is
// freed after its claim by the last InstanceRelease.
DriverInstance* InstanceRecordCreate(QP240REMOTE_Callback callback, intptr_t userValue,
                                     const QP240REMOTE_Context& settings);

// The library's process detach: hands every quarantined record back.
void InstanceQuarantineEmpty();
