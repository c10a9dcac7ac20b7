// The one rule by which every thread that reaches an instance keeps it alive,
// on the instance's lifetime record.
//
// Whoever uses the instance holds it for the whole use: an export from before
// it takes any lock of the instance until after it lets the last one go; the
// worker from the Start that makes it until its very last step; an open box
// from its creation until it is unbound. An id-55 call, the one on the report
// path, holds it through the producers' guard it takes anyway
// (engine/report_intake.h), which the free waits for and retires: the same
// rule at the cost of one atomic step instead of three. Destroy claims the
// instance once: of any number of Destroys, concurrent or from inside a
// callback, exactly one wins the claim, and ordinary calls are refused from
// then on. The instance is freed by whichever holder lets go last after the
// claim; nothing touches it after letting go.
//
// What the free does is the maker's, handed down with the lifetime record: the
// driver frees the whole instance, the engine's part through KeypadEngineFree,
// and keeps the record's memory in a quarantine for a while.
#pragma once

#include <atomic>
#include <cstdint>

// The holders word: kClaimed once Destroy claimed the instance, kFreed once it
// was freed, plus kHold for each holder.
inline constexpr uint32_t kClaimed = 1;
inline constexpr uint32_t kFreed = 2;
inline constexpr uint32_t kHold = 4;

struct InstanceLifetime {
    std::atomic<uint32_t> holders;  // kClaimed, kFreed, + kHold per holder
    // Frees the whole instance: called once, with `owner`, by the last
    // InstanceRelease after the claim. Set by the maker before anyone else
    // knows the instance.
    void (*freeInstance)(void* owner);
    void* owner;
};

// An export's hold on an instance that passed the signature check: false once
// the instance is claimed (the call is refused).
bool InstanceHold(InstanceLifetime* lifetime);
// Stop's and Destroy's hold: refused only once the instance is freed, so that
// a Stop or a losing Destroy that overlaps the winning Destroy can still wait
// for the end of the run before it answers.
bool InstanceHoldToEnd(InstanceLifetime* lifetime);
// A further hold, taken by a holder for another: Start's for its worker, an
// open's for its box.
void InstanceAddHold(InstanceLifetime* lifetime);
// Lets go of a hold; the last one after the claim frees the instance. The
// caller must not touch the instance afterwards.
void InstanceRelease(InstanceLifetime* lifetime);

// Destroy, while it holds the instance: true for exactly one caller.
bool InstanceClaim(InstanceLifetime* lifetime);
// True once Destroy claimed the instance.
bool InstanceClaimed(const InstanceLifetime* lifetime);
