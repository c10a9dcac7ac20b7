// A host thread that holds the loader lock (a DLL's detach, a static
// destructor) and calls Start or Stop: no driver lock is held while the driver
// waits for the loader lock, and Stop's wait for the worker ends on its last
// host call, not on its thread's exit, which needs the loader lock.
#include "engine/worker_thread.h"
#include "tests/windows/engine/worker_fixture.h"

namespace {

typedef LONG(NTAPI* LdrLockLoaderLockFn)(ULONG flags, ULONG* state, ULONG_PTR* cookie);
typedef LONG(NTAPI* LdrUnlockLoaderLockFn)(ULONG flags, ULONG_PTR cookie);

// A thread that takes the loader lock, makes one export call under it (or
// none), and lets go once told to.
struct LoaderLockHolder {
    int32_t (*call)(void* handle);  // null: only hold the lock
    void* handle;
    HANDLE holding;  // set once the lock is held
    HANDLE letGo;    // set by the test: release the lock
    int32_t answer;
    DWORD elapsedMs;  // of the call
    HANDLE thread;
};

DWORD WINAPI HoldLoaderLock(void* argument) {
    LoaderLockHolder* holder = static_cast<LoaderLockHolder*>(argument);
    const HMODULE ntdll = GetModuleHandleA("ntdll.dll");
    const auto lock = reinterpret_cast<LdrLockLoaderLockFn>(
        reinterpret_cast<void*>(GetProcAddress(ntdll, "LdrLockLoaderLock")));
    const auto unlock = reinterpret_cast<LdrUnlockLoaderLockFn>(
        reinterpret_cast<void*>(GetProcAddress(ntdll, "LdrUnlockLoaderLock")));
    ULONG_PTR cookie = 0;
    if (lock == nullptr || unlock == nullptr || lock(0, nullptr, &cookie) != 0)
        return 1;
    SetEvent(holder->holding);
    if (holder->call != nullptr) {
        const DWORD start = GetTickCount();
        holder->answer = holder->call(holder->handle);
        holder->elapsedMs = GetTickCount() - start;
    }
    WaitForSingleObject(holder->letGo, INFINITE);
    unlock(0, cookie);
    return 0;
}

void StartHolder(LoaderLockHolder* holder, int32_t (*call)(void*), void* handle) {
    *holder = LoaderLockHolder{call,
                               handle,
                               CreateEventA(nullptr, TRUE, FALSE, nullptr),
                               CreateEventA(nullptr, TRUE, FALSE, nullptr),
                               -99,
                               0,
                               nullptr};
    holder->thread = CreateThread(nullptr, 0, HoldLoaderLock, holder, 0, nullptr);
    ASSERT_EQ(WaitForSingleObject(holder->holding, 2000), WAIT_OBJECT_0);
}

void EndHolder(LoaderLockHolder* holder) {
    SetEvent(holder->letGo);
    WaitForSingleObject(holder->thread, INFINITE);
    CloseHandle(holder->thread);
    CloseHandle(holder->holding);
    CloseHandle(holder->letGo);
}

// A call made on a thread of its own once `go` is set. The thread is made
// before the loader lock is taken, and tells that the call returned through
// `done`: a thread can neither begin nor end while another holds that lock.
struct ExportCall {
    int32_t (*call)(void* handle);
    void* handle;
    HANDLE go;
    HANDLE done;
    int32_t answer;
};

DWORD WINAPI MakeCall(void* argument) {
    ExportCall* call = static_cast<ExportCall*>(argument);
    WaitForSingleObject(call->go, INFINITE);
    call->answer = call->call(call->handle);
    SetEvent(call->done);
    return 0;
}

ExportCall CallLater(int32_t (*call)(void*), void* handle) {
    return ExportCall{call, handle, CreateEventA(nullptr, TRUE, FALSE, nullptr),
                      CreateEventA(nullptr, TRUE, FALSE, nullptr), -99};
}

TEST_F(WorkerTest, StartAndStopStayClearOfTheLoaderLock) {
    SimulatedDevicePlug(KeypadDevice(kKeypadProduct));
    SimulatedHost host;
    Create(&host, "host");

    // A Start waiting for the loader lock holds no lock of the instance: a
    // Stop on another thread meanwhile answers at once.
    ExportCall start = CallLater(driver.Start, host.instance);
    ExportCall stop = CallLater(driver.Stop, host.instance);
    const HANDLE starter = CreateThread(nullptr, 0, MakeCall, &start, 0, nullptr);
    const HANDLE stopper = CreateThread(nullptr, 0, MakeCall, &stop, 0, nullptr);
    Sleep(100);
    LoaderLockHolder holder;
    StartHolder(&holder, nullptr, nullptr);
    SetEvent(start.go);
    Sleep(200);
    SetEvent(stop.go);
    EXPECT_EQ(WaitForSingleObject(stop.done, 2000), WAIT_OBJECT_0) << "Stop waited on Start";
    EndHolder(&holder);
    WaitForSingleObject(starter, INFINITE);
    WaitForSingleObject(stopper, INFINITE);
    EXPECT_EQ(start.answer, 0);
    EXPECT_EQ(stop.answer, 1) << "not started yet when it stopped";
    for (HANDLE handle : {starter, stopper, start.go, start.done, stop.go, stop.done})
        CloseHandle(handle);
    ASSERT_TRUE(SimulatedHostWaitFor(&host, QP240REMOTE_CODE_CONNECTED, 1, kConnectTimeoutMs));

    // Under the loader lock, Stop returns once the worker's last call has
    // returned, although the thread cannot exit before the lock is free.
    g_workerStopWaitMs = 3000;
    StartHolder(&holder, driver.Stop, host.instance);
    ASSERT_TRUE(SimulatedHostWaitFor(&host, QP240REMOTE_CODE_WORKER_ENDS, 1, 4000));
    Sleep(100);
    EXPECT_EQ(holder.answer, 0);
    EXPECT_LT(holder.elapsedMs, 1000u) << "waited for the thread's exit";
    EndHolder(&holder);
    EXPECT_EQ(SimulatedHostCodes(&host).back(), QP240REMOTE_CODE_WORKER_ENDS);
    Finish(&host);
}

}  // namespace
