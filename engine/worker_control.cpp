#include "engine/worker_control.h"

#include "engine/host_call.h"
#include "engine/instance_lifetime.h"
#include "engine/worker_thread.h"

#ifdef KOLMAR_TEST_SEAMS
void (*g_workerStartHeldHook)(DriverInstance* instance) = nullptr;
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
static bool CalledByWorker(const DriverInstance* instance) {
    return instance->run.live && GetCurrentThreadId() == instance->run.threadId;
}

// Under the lock: true when the caller may wait for the live run's end: one
// lives, it was not given up on (it makes no more host calls), and the caller
// is not its worker.
static bool RunToWaitFor(const DriverInstance* instance) {
    return instance->run.live && !WorkerAbandoned(instance) && !CalledByWorker(instance);
}

// Under the lock, which the wait lets go of while it sleeps: waits for run
// `number` to end until g_workerStopWaitMs have passed since `start`. True
// when it ended; false when it still lives, the lock held again.
static bool WaitForRunEnd(DriverInstance* instance, uint32_t number, DWORD start) {
    while (instance->run.live && instance->run.number == number) {
        const DWORD waited = GetTickCount() - start;
        if (waited >= g_workerStopWaitMs)
            return false;
        SleepConditionVariableSRW(&instance->runEnded, &instance->lifecycleLock,
                                  g_workerStopWaitMs - waited, 0);
    }
    return true;
}

// Under the lock: Stop's and Destroy's wait for the run they ended. A run that
// does not end in time (a host callback that blocks) is given up on; since the
// lock is held again, it is still the run waited for, never a later one.
static void AwaitRunEnd(DriverInstance* instance) {
    if (!RunToWaitFor(instance) || WaitForRunEnd(instance, instance->run.number, GetTickCount()))
        return;
    // No callback of the run begins after this; the one in hand may finish.
    GateClose(instance);
    // As after a worker's end: id-55 calls answer -3 again. Release, as the
    // worker's own stores of the flag.
    instance->connectedFlag.store(0, std::memory_order_release);
}

// Under the lock, with no run alive: makes the next one, handing it the
// library hold. 0, or QP240REMOTE_E_NO_THREAD when no thread could be made (the run flag then
// stays set, as the started bit, and the hold stays the caller's).
static int32_t CreateWorker(DriverInstance* instance, HMODULE* library) {
    // Relaxed: the thread's creation orders these before anything it does.
    instance->callbackGate.store(0, std::memory_order_relaxed);
    instance->runFlag.store(1, std::memory_order_relaxed);
    instance->connectedFlag.store(0, std::memory_order_relaxed);
    instance->deviceHandle.store(nullptr, std::memory_order_relaxed);
    instance->workerLibrary = *library;
    // The worker's hold, taken on its behalf under Start's own.
    InstanceAddHold(instance);

    // The thread runs at once; what it reads of the run, it reads under the
    // lock, which this Start holds until the run is stored.
    DWORD threadId = 0;
    const HANDLE thread = CreateThread(nullptr, 0, WorkerThread, instance, 0, &threadId);
    if (thread == nullptr) {
        InstanceRelease(instance);
        instance->workerLibrary = nullptr;
        return QP240REMOTE_E_NO_THREAD;
    }
    *library = nullptr;
    instance->run = WorkerRun{thread, threadId, instance->run.number + 1, true};
    return QP240REMOTE_OK;
}

// Under the lock: Start's decision, and the start itself.
static int32_t StartUnderLock(DriverInstance* instance, HMODULE* library) {
    // An earlier run stopped by another thread's Stop, or from inside its own
    // callback, is still ending: one consumer of the ring and one caller of
    // the host allow no second one beside it. While the wait let go of the
    // lock, other threads may have started a later run and stopped it again:
    // that one is waited for too, all within one wait's bound. Whether or not
    // the runs end in time, the instance may have changed meanwhile.
    const DWORD start = GetTickCount();
    while (RunToWaitFor(instance) &&
           (instance->flags.load(std::memory_order_relaxed) & kInstanceStarted) == 0) {
        if (!WaitForRunEnd(instance, instance->run.number, start))
            break;
    }

    // Relaxed: the flags change only under this lock.
    const uint32_t flags = instance->flags.load(std::memory_order_relaxed);
    if ((flags & kInstanceCreated) == 0)
        return QP240REMOTE_E_BAD_HANDLE;
    if ((flags & kInstanceStarted) != 0)
        return QP240REMOTE_ALREADY;
    instance->flags.store(flags | kInstanceStarted, std::memory_order_relaxed);
#ifdef KOLMAR_TEST_SEAMS
    if (g_workerStartHeldHook != nullptr)
        g_workerStartHeldHook(instance);
#endif
    // Beside a run still alive (given up on, still ending, or this is its own
    // thread) the run flag is left alone, so that it is not revived.
    return instance->run.live ? QP240REMOTE_E_NO_THREAD : CreateWorker(instance, library);
}

int32_t WorkerControlStart(DriverInstance* instance) {
    HMODULE library = HoldLibrary();
    AcquireSRWLockExclusive(&instance->lifecycleLock);
    const int32_t result = StartUnderLock(instance, &library);
    ReleaseSRWLockExclusive(&instance->lifecycleLock);
    // A hold no worker took; let go of outside the lock, as it was taken.
    if (library != nullptr)
        FreeLibrary(library);
    return result;
}

// Under the lock: the run ends (the worker sees the run flag at its next
// pass). Release pairs with the worker's acquire load between passes.
static void EndTheRun(DriverInstance* instance) {
    instance->runFlag.store(0, std::memory_order_release);
}

int32_t WorkerControlStop(DriverInstance* instance) {
    AcquireSRWLockExclusive(&instance->lifecycleLock);
    const uint32_t flags = instance->flags.load(std::memory_order_relaxed);
    int32_t answer = QP240REMOTE_ALREADY;
    if ((flags & kInstanceStarted) != 0) {
        answer = QP240REMOTE_OK;
        EndTheRun(instance);
        instance->flags.store(flags & ~kInstanceStarted, std::memory_order_relaxed);
    } else if ((flags & kInstanceCreated) == 0) {
        // Destroy claimed the instance: its run ends with the Destroy anyway,
        // and this Stop answers only once it is over.
        answer = QP240REMOTE_E_BAD_HANDLE;
        EndTheRun(instance);
    }
    // Also when not started: a run another thread's Stop ended, or one
    // stopped from inside its callback, may still be making its last calls.
    AwaitRunEnd(instance);
    ReleaseSRWLockExclusive(&instance->lifecycleLock);
    return answer;
}

bool WorkerControlClaim(DriverInstance* instance) {
    AcquireSRWLockExclusive(&instance->lifecycleLock);
    const bool claimed = InstanceClaim(instance);
    if (claimed) {
        // With the claim, in one step for every thread that takes the lock:
        // no Start makes a run from here on, and Stop knows the instance is
        // going.
        instance->flags.store(0, std::memory_order_relaxed);
    } else {
        // Another Destroy won: this one answers once the run is over.
        EndTheRun(instance);
        AwaitRunEnd(instance);
    }
    ReleaseSRWLockExclusive(&instance->lifecycleLock);
    return claimed;
}

void WorkerControlRetire(DriverInstance* instance) {
    AcquireSRWLockExclusive(&instance->lifecycleLock);
    // A worker stopped from inside its callback has the flag at 0 already.
    EndTheRun(instance);
    AwaitRunEnd(instance);
    // A worker still running (the caller's own, from inside a callback, or one
    // given up on) makes no more callbacks. No Start makes a run after this one.
    GateClose(instance);
    ReleaseSRWLockExclusive(&instance->lifecycleLock);
}

void WorkerControlEndRun(DriverInstance* instance) {
    AcquireSRWLockExclusive(&instance->lifecycleLock);
    const HANDLE thread = instance->run.thread;
    instance->run.thread = nullptr;
    instance->run.live = false;
    WakeAllConditionVariable(&instance->runEnded);
    ReleaseSRWLockExclusive(&instance->lifecycleLock);
    CloseHandle(thread);
}
