#include "engine/worker_control.h"

#include "engine/host_call.h"
#include "engine/instance_lifetime.h"
#include "engine/worker_thread.h"

#ifdef KOLMAR_TEST_SEAMS
void (*g_workerStartHeldHook)(KeypadEngine* engine) = nullptr;
#endif

// The worker's own hold on this library: a host that unloads it while a worker
// it gave up on is still blocked in a callback must not unmap the code that
// worker returns into. Taken before the lifecycle lock, since it needs the
// loader lock: a host thread that holds the loader lock (a DLL's detach, a
// static destructor) may be waiting for the lifecycle lock in Stop.
static HMODULE HoldLibrary() {
    HMODULE library = nullptr;
    if (!GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS,
                            reinterpret_cast<LPCSTR>(&WorkerThread), &library))
        return nullptr;
    return library;
}

// Under the lock: true when the caller is the live run's worker, inside one of
// its callbacks; its own end cannot come while it waits.
static bool CalledByWorker(const KeypadEngine* engine) {
    return engine->run.live && GetCurrentThreadId() == engine->run.threadId;
}

// Under the lock: true when the caller may wait for the live run's end: one
// lives, it was not given up on (it makes no more host calls), and the caller
// is not its worker.
static bool RunToWaitFor(const KeypadEngine* engine) {
    return engine->run.live && !WorkerAbandoned(engine) && !CalledByWorker(engine);
}

// Under the lock, which the wait lets go of while it sleeps: waits for run
// `number` to end until g_workerStopWaitMs have passed since `start`. True
// when it ended; false when it still lives, the lock held again.
static bool WaitForRunEnd(KeypadEngine* engine, uint32_t number, DWORD start) {
    while (engine->run.live && engine->run.number == number) {
        const DWORD waited = GetTickCount() - start;
        if (waited >= g_workerStopWaitMs)
            return false;
        SleepConditionVariableSRW(&engine->runEnded, &engine->lifecycleLock,
                                  g_workerStopWaitMs - waited, 0);
    }
    return true;
}

// Under the lock: Stop's and Destroy's wait for the run they ended. A run that
// does not end in time (a host callback that blocks) is given up on; since the
// lock is held again, it is still the run waited for, never a later one.
static void AwaitRunEnd(KeypadEngine* engine) {
    if (!RunToWaitFor(engine) || WaitForRunEnd(engine, engine->run.number, GetTickCount()))
        return;
    // No callback of the run begins after this; the one in hand may finish.
    GateClose(engine);
    // As after a worker's end: id-55 calls answer -3 again. Release, as the
    // worker's own stores of the flag.
    engine->connectedFlag.store(0, std::memory_order_release);
}

// Under the lock, with no run alive: makes the next one, handing it the
// library hold. 0, or QP240REMOTE_E_NO_THREAD when no thread could be made (the run flag then
// stays set, as the started bit, and the hold stays the caller's).
static int32_t CreateWorker(KeypadEngine* engine, HMODULE* library, const RawInputCalls& rawInput) {
    // Relaxed: the thread's creation orders these before anything it does.
    engine->callbackGate.store(0, std::memory_order_relaxed);
    engine->runFlag.store(1, std::memory_order_relaxed);
    engine->connectedFlag.store(0, std::memory_order_relaxed);
    engine->deviceHandle.store(nullptr, std::memory_order_relaxed);
    engine->workerLibrary = *library;
    engine->rawInput = rawInput;
    // The worker's hold, taken on its behalf under Start's own.
    InstanceAddHold(engine->lifetime);

    // The thread runs at once; what it reads of the run, it reads under the
    // lock, which this Start holds until the run is stored.
    DWORD threadId = 0;
    const HANDLE thread = CreateThread(nullptr, 0, WorkerThread, engine, 0, &threadId);
    if (thread == nullptr) {
        InstanceRelease(engine->lifetime);
        engine->workerLibrary = nullptr;
        return QP240REMOTE_E_NO_THREAD;
    }
    *library = nullptr;
    engine->run = WorkerRun{thread, threadId, engine->run.number + 1, true};
    return QP240REMOTE_OK;
}

// Under the lock: Start's decision, and the start itself.
static int32_t StartUnderLock(KeypadEngine* engine, HMODULE* library,
                              const RawInputCalls& rawInput) {
    // An earlier run stopped by another thread's Stop, or from inside its own
    // callback, is still ending: one consumer of the ring and one caller of
    // the host allow no second one beside it. While the wait let go of the
    // lock, other threads may have started a later run and stopped it again:
    // that one is waited for too, all within one wait's bound. Whether or not
    // the runs end in time, the instance may have changed meanwhile.
    const DWORD start = GetTickCount();
    while (RunToWaitFor(engine) &&
           (engine->flags.load(std::memory_order_relaxed) & kInstanceStarted) == 0) {
        if (!WaitForRunEnd(engine, engine->run.number, start))
            break;
    }

    // Relaxed: the flags change only under this lock.
    const uint32_t flags = engine->flags.load(std::memory_order_relaxed);
    if ((flags & kInstanceCreated) == 0)
        return QP240REMOTE_E_BAD_HANDLE;
    if ((flags & kInstanceStarted) != 0)
        return QP240REMOTE_ALREADY;
    engine->flags.store(flags | kInstanceStarted, std::memory_order_relaxed);
#ifdef KOLMAR_TEST_SEAMS
    if (g_workerStartHeldHook != nullptr)
        g_workerStartHeldHook(engine);
#endif
    // Beside a run still alive (given up on, still ending, or this is its own
    // thread) the run flag is left alone, so that it is not revived.
    return engine->run.live ? QP240REMOTE_E_NO_THREAD : CreateWorker(engine, library, rawInput);
}

int32_t WorkerControlStart(KeypadEngine* engine, const RawInputCalls& rawInput) {
    HMODULE library = HoldLibrary();
    AcquireSRWLockExclusive(&engine->lifecycleLock);
    const int32_t result = StartUnderLock(engine, &library, rawInput);
    ReleaseSRWLockExclusive(&engine->lifecycleLock);
    // A hold no worker took; let go of outside the lock, as it was taken.
    if (library != nullptr)
        FreeLibrary(library);
    return result;
}

// Under the lock: the run ends (the worker sees the run flag at its next
// pass). Release pairs with the worker's acquire load between passes.
static void EndTheRun(KeypadEngine* engine) {
    engine->runFlag.store(0, std::memory_order_release);
}

int32_t WorkerControlStop(KeypadEngine* engine) {
    AcquireSRWLockExclusive(&engine->lifecycleLock);
    const uint32_t flags = engine->flags.load(std::memory_order_relaxed);
    int32_t answer = QP240REMOTE_ALREADY;
    if ((flags & kInstanceStarted) != 0) {
        answer = QP240REMOTE_OK;
        EndTheRun(engine);
        engine->flags.store(flags & ~kInstanceStarted, std::memory_order_relaxed);
    } else if ((flags & kInstanceCreated) == 0) {
        // Destroy claimed the instance: its run ends with the Destroy anyway,
        // and this Stop answers only once it is over.
        answer = QP240REMOTE_E_BAD_HANDLE;
        EndTheRun(engine);
    }
    // Also when not started: a run another thread's Stop ended, or one
    // stopped from inside its callback, may still be making its last calls.
    AwaitRunEnd(engine);
    ReleaseSRWLockExclusive(&engine->lifecycleLock);
    return answer;
}

bool WorkerControlClaim(KeypadEngine* engine) {
    AcquireSRWLockExclusive(&engine->lifecycleLock);
    const bool claimed = InstanceClaim(engine->lifetime);
    if (claimed) {
        // With the claim, in one step for every thread that takes the lock:
        // no Start makes a run from here on, and Stop knows the instance is
        // going.
        engine->flags.store(0, std::memory_order_relaxed);
    } else {
        // Another Destroy won: this one answers once the run is over.
        EndTheRun(engine);
        AwaitRunEnd(engine);
    }
    ReleaseSRWLockExclusive(&engine->lifecycleLock);
    return claimed;
}

void WorkerControlRetire(KeypadEngine* engine) {
    AcquireSRWLockExclusive(&engine->lifecycleLock);
    // A worker stopped from inside its callback has the flag at 0 already.
    EndTheRun(engine);
    AwaitRunEnd(engine);
    // A worker still running (the caller's own, from inside a callback, or one
    // given up on) makes no more callbacks. No Start makes a run after this one.
    GateClose(engine);
    ReleaseSRWLockExclusive(&engine->lifecycleLock);
}

void WorkerControlEndRun(KeypadEngine* engine) {
    AcquireSRWLockExclusive(&engine->lifecycleLock);
    const HANDLE thread = engine->run.thread;
    engine->run.thread = nullptr;
    engine->run.live = false;
    WakeAllConditionVariable(&engine->runEnded);
    ReleaseSRWLockExclusive(&engine->lifecycleLock);
    CloseHandle(thread);
}
