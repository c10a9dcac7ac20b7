// A one-word lock for sections of a few dozen instructions and one short copy:
// the intake's producers among themselves, and the steps of the status
// exchange. Nobody ever holds it across a host call or a system call, so a
// thread that finds it taken waits at most for such a section (longer only if
// the holder is preempted inside it; yielding, then sleeping, lets it finish).
#pragma once

#include <atomic>
#include <cstdint>

#ifdef _WIN32
#include "base/platform_types.h"
#else
#include <chrono>
#include <thread>
#endif

// Gives the processor to another ready thread. On Windows through the system
// itself: the standard library's thread calls would pull a threading runtime
// into the DLLs, which a host machine does not have.
inline void SpinGuardYield() {
#ifdef _WIN32
    SwitchToThread();
#else
    std::this_thread::yield();
#endif
}

// Sleeps about a millisecond (a timer tick where the system's is coarser).
inline void SpinGuardNap() {
#ifdef _WIN32
    Sleep(1);
#else
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
#endif
}

// Spins this many reads before each yield: a holder on another processor
// leaves within a few hundred nanoseconds.
inline constexpr int32_t kSpinGuardSpinsPerYield = 64;

// Takes the guard unless it stays taken through `yields` yields; true when taken.
inline bool SpinGuardTryAcquire(std::atomic<int32_t>* guard, int32_t yields) {
    for (int32_t round = 0;; ++round) {
        for (int32_t spin = 0; spin < kSpinGuardSpinsPerYield; ++spin) {
            // Read before the exchange, so waiters share the line instead of
            // bouncing it. Acquire pairs with the release store in
            // SpinGuardRelease: what the last holder wrote is visible here.
            if (guard->load(std::memory_order_relaxed) == 0 &&
                guard->exchange(1, std::memory_order_acquire) == 0)
                return true;
        }
        if (round >= yields)
            return false;
        SpinGuardYield();
    }
}

// Yields before a waiter that cannot take the guard starts to sleep instead.
inline constexpr int32_t kSpinGuardYieldsBeforeSleep = 16;

// Takes the guard, however long it stays taken. A yield only lets threads of
// the waiter's own priority or above run: a holder of lower priority preempted
// inside its section would never finish while a higher one spins on the same
// processor, so a long wait goes on in one-millisecond sleeps.
inline void SpinGuardAcquire(std::atomic<int32_t>* guard) {
    while (!SpinGuardTryAcquire(guard, kSpinGuardYieldsBeforeSleep))
        SpinGuardNap();
}

inline void SpinGuardRelease(std::atomic<int32_t>* guard) {
    // Release pairs with the acquire exchange in SpinGuardTryAcquire.
    guard->store(0, std::memory_order_release);
}
