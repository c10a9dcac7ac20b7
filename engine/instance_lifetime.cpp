#include "engine/instance_lifetime.h"

#include <cstdlib>
#include <cstring>
#include <new>

#include "engine/report_intake.h"
#include "engine/spin_guard.h"

// Freed records, oldest first, linked through their own quarantineNext. Under
// g_quarantineGuard, as is g_createCount; both are touched by Create and by
// whoever frees a record, on any thread, for a few instructions.
static std::atomic<int32_t> g_quarantineGuard{0};
static DriverInstance* g_quarantineOldest = nullptr;
static DriverInstance* g_quarantineNewest = nullptr;
static uint32_t g_createCount = 0;  // Creates made so far; wraps, compared by difference

// Under the guard: hands back the records that have waited
// QP240REMOTE_STALE_HANDLE_CREATES Creates, or every record when the DLL detaches. Done
// when a record is freed, never by Create, so that what an instance holds
// while it lives is its own.
static void QuarantineHandBack(bool everything) {
    while (g_quarantineOldest != nullptr &&
           (everything || g_createCount - g_quarantineOldest->quarantineStamp >=
                              QP240REMOTE_STALE_HANDLE_CREATES)) {
        DriverInstance* oldest = g_quarantineOldest;
        g_quarantineOldest = oldest->quarantineNext;
        if (g_quarantineOldest == nullptr)
            g_quarantineNewest = nullptr;
        oldest->~DriverInstance();
        std::free(oldest);
    }
}

DriverInstance* InstanceCreate(QP240REMOTE_Callback callback, intptr_t userValue,
                               const QP240REMOTE_Context& settings) {
    SpinGuardAcquire(&g_quarantineGuard);
    ++g_createCount;
    SpinGuardRelease(&g_quarantineGuard);

    void* memory = std::malloc(sizeof(DriverInstance));
    if (memory == nullptr)
        return nullptr;
    std::memset(memory, 0, sizeof(DriverInstance));
    DriverInstance* instance = new (memory) DriverInstance{};
    instance->callback = callback;
    instance->userValue = userValue;
    // Relaxed, here and for the signature: no other thread knows the record
    // before Create returns it.
    instance->flags.store(kInstanceCreated, std::memory_order_relaxed);
    WriteSignature(instance, kProfile.guid);
    WriteContext(instance, settings);
    ReportQueueInit(&instance->reportQueue, kProfile.keyCount);
    StatusExchangeInit(&instance->statusExchange);
    return instance;
}

// Releases what InstanceCreate acquired: the queue and the exchange now, the
// record once it leaves the quarantine.
static void FreeInstance(DriverInstance* instance) {
    // An id-55 call holds the record through the producers' guard.
    ReportIntakeRetire(instance);
    ReportQueueFree(&instance->reportQueue);
    StatusExchangeFree(&instance->statusExchange);
    // A stale handle must fail the signature comparison from here on.
    static constexpr uint8_t kNoSignature[16] = {};
    WriteSignature(instance, kNoSignature);

    SpinGuardAcquire(&g_quarantineGuard);
    QuarantineHandBack(false);
    instance->quarantineNext = nullptr;
    instance->quarantineStamp = g_createCount;
    if (g_quarantineNewest != nullptr)
        g_quarantineNewest->quarantineNext = instance;
    else
        g_quarantineOldest = instance;
    g_quarantineNewest = instance;
    SpinGuardRelease(&g_quarantineGuard);
}

void InstanceQuarantineEmpty() {
    SpinGuardAcquire(&g_quarantineGuard);
    QuarantineHandBack(true);
    SpinGuardRelease(&g_quarantineGuard);
}

// Adds a hold unless the holders word has one of the `refused` bits.
static bool HoldUnless(DriverInstance* instance, uint32_t refused) {
    // Relaxed: a hold only keeps the record's memory; what the holder then
    // reads of it is ordered by the locks and flags it goes through. The
    // compare-and-swap makes the test and the hold one step against the claim
    // and the free.
    uint32_t holders = instance->holders.load(std::memory_order_relaxed);
    do {
        if ((holders & refused) != 0)
            return false;
    } while (!instance->holders.compare_exchange_weak(holders, holders + kHold,
                                                      std::memory_order_relaxed));
    return true;
}

bool InstanceHold(DriverInstance* instance) {
    return HoldUnless(instance, kClaimed | kFreed);
}

bool InstanceHoldToEnd(DriverInstance* instance) {
    return HoldUnless(instance, kFreed);
}

void InstanceAddHold(DriverInstance* instance) {
    // Relaxed: the caller's own hold keeps the record alive meanwhile.
    instance->holders.fetch_add(kHold, std::memory_order_relaxed);
}

void InstanceRelease(DriverInstance* instance) {
    // acq_rel: the release half publishes this holder's writes to whoever
    // frees the record; the acquire half lets this thread, if it frees, see
    // every other holder's.
    const uint32_t after = instance->holders.fetch_sub(kHold, std::memory_order_acq_rel) - kHold;
    if (after != kClaimed)
        return;
    // The last hold of a claimed record. A late Stop or Destroy may take a
    // hold again before the free is decided (InstanceHoldToEnd); then that
    // call frees when it lets go. acq_rel as above.
    uint32_t expected = kClaimed;
    if (instance->holders.compare_exchange_strong(expected, kClaimed | kFreed,
                                                  std::memory_order_acq_rel))
        FreeInstance(instance);
}

bool InstanceClaim(DriverInstance* instance) {
    // acq_rel: one read-modify-write decides the one winner; it orders the
    // winner's teardown after every earlier holder's writes.
    return (instance->holders.fetch_or(kClaimed, std::memory_order_acq_rel) & kClaimed) == 0;
}

bool InstanceClaimed(const DriverInstance* instance) {
    // Relaxed: a value of the moment; the claim itself is decided by
    // InstanceClaim.
    return (instance->holders.load(std::memory_order_relaxed) & kClaimed) != 0;
}
