#include "engine/instance_lifetime.h"

// Adds a hold unless the holders word has one of the `refused` bits.
static bool HoldUnless(InstanceLifetime* lifetime, uint32_t refused) {
    // Relaxed: a hold only keeps the instance's memory; what the holder then
    // reads of it is ordered by the locks and flags it goes through. The
    // compare-and-swap makes the test and the hold one step against the claim
    // and the free.
    uint32_t holders = lifetime->holders.load(std::memory_order_relaxed);
    do {
        if ((holders & refused) != 0)
            return false;
    } while (!lifetime->holders.compare_exchange_weak(holders, holders + kHold,
                                                      std::memory_order_relaxed));
    return true;
}

bool InstanceHold(InstanceLifetime* lifetime) {
    return HoldUnless(lifetime, kClaimed | kFreed);
}

bool InstanceHoldToEnd(InstanceLifetime* lifetime) {
    return HoldUnless(lifetime, kFreed);
}

void InstanceAddHold(InstanceLifetime* lifetime) {
    // Relaxed: the caller's own hold keeps the instance alive meanwhile.
    lifetime->holders.fetch_add(kHold, std::memory_order_relaxed);
}

void InstanceRelease(InstanceLifetime* lifetime) {
    // acq_rel: the release half publishes this holder's writes to whoever
    // frees the instance; the acquire half lets this thread, if it frees, see
    // every other holder's.
    const uint32_t after = lifetime->holders.fetch_sub(kHold, std::memory_order_acq_rel) - kHold;
    if (after != kClaimed)
        return;
    // The last hold of a claimed instance. A late Stop or Destroy may take a
    // hold again before the free is decided (InstanceHoldToEnd); then that
    // call frees when it lets go. acq_rel as above.
    uint32_t expected = kClaimed;
    if (lifetime->holders.compare_exchange_strong(expected, kClaimed | kFreed,
                                                  std::memory_order_acq_rel))
        lifetime->freeInstance(lifetime->owner);
}

bool InstanceClaim(InstanceLifetime* lifetime) {
    // acq_rel: one read-modify-write decides the one winner; it orders the
    // winner's teardown after every earlier holder's writes.
    return (lifetime->holders.fetch_or(kClaimed, std::memory_order_acq_rel) & kClaimed) == 0;
}

bool InstanceClaimed(const InstanceLifetime* lifetime) {
    // Relaxed: a value of the moment; the claim itself is decided by
    // InstanceClaim.
    return (lifetime->holders.load(std::memory_order_relaxed) & kClaimed) != 0;
}
