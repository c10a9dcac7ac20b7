// Start, Stop and Destroy's stop of an instance's worker. Any host thread may
// make them at the same time as any other; each runs as one step for every
// other thread under the instance's lifecycle lock, which covers the started
// bit, the run flag as host threads write it, the instance's WorkerRun, the
// claim of Destroy and the closing of the callback gate. Under the lock
// nothing waits but the wait for a run's end, which lets go of the lock while
// it sleeps, and nothing calls the host or anything that needs the loader
// lock: a Stop made from inside a callback, or from a thread that holds the
// loader lock, still takes it.
//
// What the host can rely on:
// - one worker per instance at any time;
// - Stop or Destroy on a host thread, whatever it answers, returns once the
//   worker's last host call has returned (its end step has run), or once the
//   run was given up on, by this call after g_workerStopWaitMs or by an
//   earlier one: no callback of a run given up on begins after the give-up,
//   though the one in hand may still be running. The wait ends on that end
//   step, not on the thread's exit, which needs the loader lock;
// - of several Destroys one claims the instance; the others, like a Stop that
//   overlaps it, answer QP240REMOTE_E_BAD_HANDLE once the run is over;
// - Stop or Destroy from inside a callback does not wait for its own thread:
//   after a Stop the worker ends once the callback returns, after a Destroy it
//   makes no further host call at all;
// - a Start that finds an earlier run still ending waits for it, and for any
//   later run other threads started and stopped meanwhile (all within
//   g_workerStopWaitMs), then starts anew; QP240REMOTE_E_NO_THREAD when the
//   run was given up on, is still ending after the wait, or the Start is made
//   on its own thread.
#pragma once

#include "engine/keypad_engine.h"

// Start's work after the handle check: 0 a worker started, 1 already started,
// QP240REMOTE_E_NO_THREAD no worker could be started (the instance counts as
// started until Stop), QP240REMOTE_E_BAD_HANDLE Destroy claimed it meanwhile.
// The run's worker lists and identifies devices with `rawInput`.
int32_t WorkerControlStart(KeypadEngine* engine, const RawInputCalls& rawInput);
// Stop's work after the handle check: 0 stopped, 1 not started,
// QP240REMOTE_E_BAD_HANDLE Destroy claimed the instance (its run is over or
// given up on all the same when this returns).
int32_t WorkerControlStop(KeypadEngine* engine);
// Destroy's claim, made while it holds the record: true for exactly one
// Destroy, whose claim also takes the instance out of Start's reach (created
// and started bits cleared). A Destroy that loses ends the run and waits for
// it as Stop does before it returns false.
bool WorkerControlClaim(KeypadEngine* engine);
// The winning Destroy's stop, after the claim: stops the worker and waits for
// its end, then closes the gate on a worker still running (one stopped from
// inside its own callback, or given up on), which makes no more callbacks.
void WorkerControlRetire(KeypadEngine* engine);
// The worker, after its last host call: ends its run, so that the Stops and
// Destroys waiting for it return and a Start may make the next run. The worker
// touches nothing of the run afterwards; the record is still its to let go of.
void WorkerControlEndRun(KeypadEngine* engine);

// Test seam of the test builds (the deliverables have none): when set, Start
// calls it with the lifecycle lock held, after the started bit is set and
// before the worker is created.
#ifdef KOLMAR_TEST_SEAMS
extern void (*g_workerStartHeldHook)(KeypadEngine* engine);
#endif
