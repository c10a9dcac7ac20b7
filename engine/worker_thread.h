// The worker thread of a started instance: detection passes every second while
// no keypad is connected, polling passes every 10 ms once one is. Every host
// callback of the instance is made on it.
//
// Threading and ownership:
// - Start creates the worker suspended, stores its handle and id, then lets it
//   run, so a Stop or Destroy the host makes from inside a callback finds both.
// - The worker holds the record (engine/instance_lifetime.h) and this library
//   (so its code stays mapped) until its very last step.
// - Stop waits at most g_workerStopWaitMs. When the wait runs out, or when
//   Destroy lets go of the record, the worker is abandoned: once the host
//   returns to it, it makes no more host calls and ends; the record is freed
//   by whichever of it and Destroy lets go last.
// - Stop or Destroy called on the worker thread itself does not wait; the
//   worker ends when the host returns from the callback.
// - Only one worker lives per instance: Start answers -2000 while an earlier
//   one still runs.
#pragma once

#include "driver/driver_instance.h"

// The longest Stop waits for the worker to end: 10000 ms. The Windows tests
// shorten it so that a worker blocked in a callback does not cost 10 s.
extern DWORD g_workerStopWaitMs;

// Thread body; the argument is the DriverInstance. Ends by itself when the run
// flag is no longer 1, with exit code 0.
DWORD WINAPI WorkerThread(LPVOID argument);

// Start's work once the started bit is set: 0 when a worker runs, -2000 when
// no thread could be created or an earlier worker still lives.
int32_t WorkerStart(DriverInstance* instance);
// Stop's work once the run flag and the started bit are cleared: waits for the
// worker (never from the worker itself), closes the thread handle, and
// abandons a worker that did not end in time.
void WorkerStop(DriverInstance* instance);
