// Start, Stop and Destroy's stop of an instance's worker. Any host thread may
// make them at the same time as any other; each runs as one step for every
// other thread under the instance's lifecycle lock, which covers the started
// bit, the run flag as host threads write it, and the worker's thread handle
// and id. The lock is held for a few stores and the creation of a suspended
// thread, never across a wait for a worker or a host call, so a Stop or
// Destroy made from inside a callback still takes it.
//
// What the host can rely on:
// - one worker per instance at any time;
// - Stop or Destroy from a host thread answering 0: the worker has ended, or
//   did not end within g_workerStopWaitMs and is given up on (it makes no more
//   host calls);
// - Stop or Destroy from inside a callback does not wait for its own thread;
//   the worker ends once the callback returns;
// - a Start that finds an earlier worker still ending waits for it (at most
//   g_workerStopWaitMs), then starts anew; -2000 when it is given up on, or
//   when the Start is made on that worker's own thread.
#pragma once

#include "driver/driver_instance.h"

// Start's work after the handle check: 0 a worker started, 1 already started,
// -2000 no worker could be started (the instance counts as started until
// Stop), -1 destroyed meanwhile.
int32_t WorkerControlStart(DriverInstance* instance);
// Stop's work after the handle check: 0 stopped, 1 not started.
int32_t WorkerControlStop(DriverInstance* instance);
// Destroy's: takes the instance out of Start's reach (created and started
// bits cleared), stops its worker and waits for it, then abandons a worker
// still running (one stopped from inside its own callback), which makes no
// more host calls. The record is the lifetime's to free next.
void WorkerControlRetire(DriverInstance* instance);

// Test seam: when set, Start calls it with the lifecycle lock held, after the
// started bit is set and before the worker is created. Null in the product.
extern void (*g_workerStartHeldHook)(DriverInstance* instance);
