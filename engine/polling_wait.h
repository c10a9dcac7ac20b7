// The wait at the end of every polling pass. Sleep lasts until the system's
// next timer tick, 15.6 ms on a stock Windows unless some process raised the
// timer resolution; a high-resolution waitable timer (Windows 10 1803 and
// later) ends after the asked 10 ms whatever the resolution, and raises it for
// no one else. Where the system refuses such a timer the wait falls back to
// Sleep. Worker thread only.
#pragma once

#include "base/platform_types.h"

// One worker run's timer: made when the run begins, closed when it ends.
struct PollingWait {
    HANDLE timer;  // high-resolution waitable timer, or null: waits with Sleep
};

// Makes the run's timer, or leaves it null where the system refuses one.
void PollingWaitOpen(PollingWait* wait);
// Waits `milliseconds`. Allocates nothing, so it may end a polling pass.
void PollingWaitFor(PollingWait* wait, DWORD milliseconds);
// Closes the timer; safe to repeat.
void PollingWaitClose(PollingWait* wait);
