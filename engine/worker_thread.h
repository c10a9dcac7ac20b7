// The worker thread of a started instance: detection passes every second while
// no keypad is connected, polling passes every 10 ms once one is. Every host
// callback of the instance is made on it.
//
// Threading and ownership (starting and stopping: engine/worker_control.h):
// - The worker holds the record (engine/instance_lifetime.h) and this library
//   (so its code stays mapped) until its very last step.
// - Stop waits at most g_workerStopWaitMs. When the wait runs out, or when
//   Destroy lets go of the record, the worker is abandoned: once the host
//   returns to it, it makes no more host calls and ends; the record is freed
//   by whichever of it and Destroy lets go last.
#pragma once

#include "engine/keypad_engine.h"

// The longest Stop waits for the worker to end: QP240REMOTE_STOP_WAIT_MS. The
// test builds may shorten it, so that a worker blocked in a callback does not
// cost the whole wait; in the deliverables it is a constant.
#ifdef KOLMAR_TEST_SEAMS
extern DWORD g_workerStopWaitMs;
#else
inline constexpr DWORD g_workerStopWaitMs = QP240REMOTE_STOP_WAIT_MS;
#endif

// Thread body; the argument is the KeypadEngine. Ends by itself when the run
// flag is no longer 1, with exit code 0.
DWORD WINAPI WorkerThread(LPVOID argument);
