// What Create acquires for a DriverInstance, and the one rule by which every
// thread that reaches the record keeps it alive.
//
// Whoever uses the record holds it for the whole use: an export from before it
// takes any lock of the instance until after it lets the last one go; the
// worker from the Start that makes it until its very last step; an open box
// from its creation until it is unbound. An id-55 call, the one on the report
// path, holds it through the producers' guard it takes anyway
// (engine/report_intake.h), which the free waits for and retires: the same
// rule at the cost of one atomic step instead of three. Destroy claims the instance once: of
// any number of Destroys, concurrent or from inside a callback, exactly one
// wins the claim, and ordinary calls are refused from then on. The record, its
// queue and its exchange are freed by whichever holder lets go last after the
// claim; nothing touches the record after letting go.
//
// The holders word: kClaimed once Destroy claimed the instance, kFreed once it
// was freed, plus kHold for each holder.
//
// A freed record's memory is not handed back at once: it waits in a quarantine,
// its signature cleared and its holders word left as it was, until a later
// free finds that QP240REMOTE_STALE_HANDLE_CREATES further Creates have been made. A handle used
// after its Destroy returned meanwhile reads a record that fails the handle check instead of acting
// on a new instance made at the same address.
#pragma once

#include <cstdint>

#include "driver/driver_instance.h"

inline constexpr uint32_t kClaimed = 1;
inline constexpr uint32_t kFreed = 2;
inline constexpr uint32_t kHold = 4;

// Creates a freed record stays out of the heap's reach for.

// Create's record: allocated and zeroed, bound to the host's callback and
// user value, created, with the deliverable's GUID, the given settings, its
// report queue and its status exchange (either may lack its storage; the
// record is returned all the same). Null when the record cannot be allocated.
// Nobody holds it yet; it is freed after its claim by the last InstanceRelease.
DriverInstance* InstanceCreate(QP240REMOTE_Callback callback, intptr_t userValue,
                               const QP240REMOTE_Context& settings);

// An export's hold on a record that passed the signature check: false once the
// instance is claimed (the call is refused).
bool InstanceHold(DriverInstance* instance);
// Stop's and Destroy's hold: refused only once the record is freed, so that a
// Stop or a losing Destroy that overlaps the winning Destroy can still wait for
// the end of the run before it answers.
bool InstanceHoldToEnd(DriverInstance* instance);
// A further hold, taken by a holder for another: Start's for its worker, an
// open's for its box.
void InstanceAddHold(DriverInstance* instance);
// Lets go of a hold; the last one after the claim frees the record. The caller
// must not touch the record afterwards.
void InstanceRelease(DriverInstance* instance);

// Destroy, while it holds the record: true for exactly one caller.
bool InstanceClaim(DriverInstance* instance);
// True once Destroy claimed the record.
bool InstanceClaimed(const DriverInstance* instance);

// The library's process detach: hands every quarantined record back.
void InstanceQuarantineEmpty();
