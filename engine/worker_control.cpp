#include "engine/worker_control.h"

#include "engine/host_call.h"
#include "engine/instance_lifetime.h"
#include "engine/worker_thread.h"

void (*g_workerStartHeldHook)(DriverInstance* instance) = nullptr;

// Under the lifecycle lock, with no worker alive: starts one. 0, or -2000 when
// no thread could be created (the run flag then stays set, as the started bit).
static int32_t CreateWorker(DriverInstance* instance) {
    // Relaxed: thread creation orders these before anything the worker does.
    instance->workerAbandoned.store(0, std::memory_order_relaxed);
    instance->runFlag.store(1, std::memory_order_relaxed);
    instance->connectedFlag.store(0, std::memory_order_relaxed);
    instance->deviceHandle.store(nullptr, std::memory_order_relaxed);

    // The worker's own hold on this library: a host that unloads it while a
    // worker it gave up on is still blocked in a callback must not unmap the
    // code that worker returns into.
    HMODULE library = nullptr;
    if (!GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS,
                            reinterpret_cast<LPCSTR>(&WorkerThread), &library))
        library = nullptr;
    instance->workerLibrary = library;
    InstanceAddWorker(instance);

    // Suspended until its handle and id are stored, so that a Stop the host
    // makes from inside the first callback finds them. Created under the lock
    // so that every Stop finds the handle of the worker it stops; a suspended
    // thread runs nothing of its own (nor any library's thread attach) yet.
    DWORD threadId = 0;
    const HANDLE thread =
        CreateThread(nullptr, 0, WorkerThread, instance, CREATE_SUSPENDED, &threadId);
    if (thread == nullptr) {
        InstanceDropWorker(instance);
        instance->workerLibrary = nullptr;
        if (library != nullptr)
            FreeLibrary(library);
        return QP240REMOTE_E_NO_THREAD;
    }
    instance->threadId = threadId;
    // Relaxed: the lifecycle lock orders it for host threads, and ResumeThread
    // before anything the worker does.
    instance->threadHandle.store(thread, std::memory_order_relaxed);
    ResumeThread(thread);
    return 0;
}

// Under the lifecycle lock: the handle of the worker to wait for, taken out of
// the instance, or null when there is none or the caller is that worker. From
// inside one of the worker's own callbacks there is nothing to wait for; its
// handle stays, so that a Destroy from a host thread still waits until the
// worker's last host call has returned (the worker closes it at its end).
static HANDLE TakeWorkerHandle(DriverInstance* instance) {
    if (GetCurrentThreadId() == instance->threadId)
        return nullptr;
    // Taken whole, so that the handle is closed once, here or by the worker at
    // its end. Relaxed: only the handle itself passes.
    return instance->threadHandle.exchange(nullptr, std::memory_order_relaxed);
}

// Outside the lock: waits for the worker; gives up on one that does not end.
static void JoinWorker(DriverInstance* instance, HANDLE thread) {
    if (thread == nullptr)
        return;
    if (WaitForSingleObject(thread, g_workerStopWaitMs) != WAIT_OBJECT_0) {
        // The worker is stuck, most likely in a host callback. Release pairs
        // with the acquire load in CallHost: it makes no more host calls.
        instance->workerAbandoned.store(1, std::memory_order_release);
        // As after a worker's end: id-55 calls answer -3 again.
        instance->connectedFlag.store(0, std::memory_order_release);
    }
    CloseHandle(thread);
}

// Under the lifecycle lock, with a worker alive that a Start must not join: a
// handle to wait on for its end, or null when the Start may not wait (the
// worker was given up on, or this is its own thread).
static HANDLE EarlierWorker(const DriverInstance* instance) {
    if (WorkerAbandoned(instance) || GetCurrentThreadId() == instance->threadId)
        return nullptr;
    // The id is the living worker's: it keeps its hold until its last step.
    return OpenThread(SYNCHRONIZE, FALSE, instance->threadId);
}

int32_t WorkerControlStart(DriverInstance* instance) {
    for (bool waited = false;; waited = true) {
        AcquireSRWLockExclusive(&instance->lifecycleLock);
        // Relaxed: the flags change only under this lock.
        const uint32_t flags = instance->flags.load(std::memory_order_relaxed);
        if ((flags & kInstanceCreated) == 0 || (flags & kInstanceStarted) != 0) {
            ReleaseSRWLockExclusive(&instance->lifecycleLock);
            return (flags & kInstanceCreated) == 0 ? QP240REMOTE_E_BAD_HANDLE : QP240REMOTE_ALREADY;
        }
        // A worker stopped by a Stop still waiting for it, or from inside its
        // own callback, is still ending: one consumer of the ring and one
        // caller of the host allow no second one beside it.
        const HANDLE earlier =
            InstanceHasWorker(instance) && !waited ? EarlierWorker(instance) : nullptr;
        if (earlier == nullptr) {
            instance->flags.store(flags | kInstanceStarted, std::memory_order_relaxed);
            if (g_workerStartHeldHook != nullptr)
                g_workerStartHeldHook(instance);
            // The run flag is left alone beside a worker still alive, so that
            // it is not revived.
            const int32_t result =
                InstanceHasWorker(instance) ? QP240REMOTE_E_NO_THREAD : CreateWorker(instance);
            ReleaseSRWLockExclusive(&instance->lifecycleLock);
            return result;
        }
        ReleaseSRWLockExclusive(&instance->lifecycleLock);
        WaitForSingleObject(earlier, g_workerStopWaitMs);
        CloseHandle(earlier);
    }
}

int32_t WorkerControlStop(DriverInstance* instance) {
    AcquireSRWLockExclusive(&instance->lifecycleLock);
    const uint32_t flags = instance->flags.load(std::memory_order_relaxed);
    if ((flags & kInstanceStarted) == 0) {
        ReleaseSRWLockExclusive(&instance->lifecycleLock);
        return 1;
    }
    // Release pairs with the worker's acquire load between passes.
    instance->runFlag.store(0, std::memory_order_release);
    instance->flags.store(flags & ~kInstanceStarted, std::memory_order_relaxed);
    const HANDLE thread = TakeWorkerHandle(instance);
    ReleaseSRWLockExclusive(&instance->lifecycleLock);
    JoinWorker(instance, thread);
    return 0;
}

void WorkerControlRetire(DriverInstance* instance) {
    AcquireSRWLockExclusive(&instance->lifecycleLock);
    // Release, as in Stop. A worker stopped from inside its callback has the
    // flag at 0 already; its handle is taken all the same.
    instance->runFlag.store(0, std::memory_order_release);
    instance->flags.store(0, std::memory_order_relaxed);
    const HANDLE thread = TakeWorkerHandle(instance);
    ReleaseSRWLockExclusive(&instance->lifecycleLock);
    JoinWorker(instance, thread);
    // Release pairs with the acquire load in CallHost: a worker still running
    // (stopped from inside its own callback, on whose thread this runs, or
    // given up on) makes no more host calls.
    instance->workerAbandoned.store(1, std::memory_order_release);
}
