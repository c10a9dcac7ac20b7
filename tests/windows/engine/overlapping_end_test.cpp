// Calls on one instance that overlap its end: a callback that destroys its own
// instance while a host thread waits in Stop, Start or Destroy of it, and a
// Start that waits for every run that ends meanwhile.
#include <atomic>
#include <vector>

#include "engine/worker_thread.h"
#include "include/qp240_remote.h"
#include "tests/windows/engine/worker_fixture.h"

namespace {

// A host thread's call, made while the instance's worker is inside a callback
// that then destroys the instance.
struct Overlap {
    Deliverable* driver;
    SimulatedHost* host;
    int32_t (*hostCall)(void* handle);
    bool stopFirst;  // the callback first stops its own run, which the host's call waits for
    HANDLE hostThread;
    std::atomic<int32_t> hostAnswer{99};
    std::atomic<DWORD> hostMs{0};
    std::atomic<size_t> callsAtHostAnswer{0};
    std::atomic<int32_t> innerDestroy{99};
};

DWORD WINAPI MakeHostCall(LPVOID argument) {
    Overlap* overlap = static_cast<Overlap*>(argument);
    const DWORD start = GetTickCount();
    overlap->hostAnswer = overlap->hostCall(overlap->host->instance);
    overlap->hostMs = GetTickCount() - start;
    overlap->callsAtHostAnswer = SimulatedHostCalls(overlap->host).size();
    return 0;
}

// Long enough for the host thread to be waiting inside its call.
constexpr DWORD kHostCallHeadStartMs = 200;

void DestroyWhileTheHostWaits(SimulatedHost* host, int32_t code) {
    Overlap* overlap = static_cast<Overlap*>(host->hookContext);
    if (code != QP240REMOTE_CODE_CONNECTED || overlap->hostThread != nullptr)
        return;
    if (overlap->stopFirst)
        overlap->driver->Stop(host->instance);
    overlap->hostThread = CreateThread(nullptr, 0, MakeHostCall, overlap, 0, nullptr);
    Sleep(kHostCallHeadStartMs);
    overlap->innerDestroy = overlap->driver->Destroy(host->instance);
}

TEST_F(WorkerTest, ACallbackDestroysItsInstanceWhileAHostThreadWaitsInStopStartOrDestroy) {
    SimulatedDevicePlug(KeypadDevice(kKeypadProduct));
    const struct {
        const char* name;
        int32_t (*hostCall)(void*);
        bool stopFirst;
        int32_t hostAnswer;
        int32_t innerDestroy;
    } cases[] = {
        // The host's Stop waits for the worker inside the callback; the
        // callback's Destroy wins and the worker makes no further callback.
        {"Stop", driver.Stop, false, QP240REMOTE_OK, QP240REMOTE_OK},
        // The host's Destroy came first and wins; the callback's answers
        // without waiting for its own thread, and the run ends as usual.
        {"Destroy", driver.Destroy, false, QP240REMOTE_OK, QP240REMOTE_E_BAD_HANDLE},
        // The host's Start waits for the run the callback stopped; the
        // callback's Destroy takes the instance meanwhile.
        {"Start", driver.Start, true, QP240REMOTE_E_BAD_HANDLE, QP240REMOTE_OK},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        SimulatedHost host;
        Create(&host, c.name);
        Overlap overlap;
        overlap.driver = &driver;
        overlap.host = &host;
        overlap.hostCall = c.hostCall;
        overlap.stopFirst = c.stopFirst;
        overlap.hostThread = nullptr;
        host.hook = DestroyWhileTheHostWaits;
        host.hookContext = &overlap;
        ASSERT_EQ(driver.Start(host.instance), QP240REMOTE_OK);
        ASSERT_TRUE(SimulatedHostWaitFor(&host, QP240REMOTE_CODE_CONNECTED, 1, kConnectTimeoutMs));
        for (DWORD waited = 0; overlap.hostThread == nullptr && waited < 2000; waited += 10)
            Sleep(10);
        ASSERT_NE(overlap.hostThread, nullptr);
        ASSERT_EQ(WaitForSingleObject(overlap.hostThread, 3 * QP240REMOTE_STOP_WAIT_MS),
                  WAIT_OBJECT_0);
        CloseHandle(overlap.hostThread);

        EXPECT_EQ(overlap.hostAnswer.load(), c.hostAnswer);
        EXPECT_EQ(overlap.innerDestroy.load(), c.innerDestroy);
        EXPECT_LT(overlap.hostMs.load(), QP240REMOTE_STOP_WAIT_MS / 2);
        Sleep(100);
        EXPECT_EQ(SimulatedHostCalls(&host).size(), overlap.callsAtHostAnswer.load())
            << "a callback came after the host's call answered";
        SimulatedHostFree(&host);
    }
    // The library serves the next instance as before.
    SimulatedHost next;
    Create(&next, "next");
    ASSERT_TRUE(StartAndConnect(&next));
    EXPECT_EQ(driver.Stop(next.instance), QP240REMOTE_OK);
    Finish(&next);
}

// A Start that finds a run still ending waits for it and for every run that
// other threads start and stop while it sleeps, then starts its own. The runs
// of "other threads" are written into the instance as Start and the worker's
// end step write them.
struct StartThread {
    Deliverable* driver;
    void* handle;
    std::atomic<int32_t> answer{99};
};

DWORD WINAPI StartOnAnotherThread(LPVOID argument) {
    StartThread* start = static_cast<StartThread*>(argument);
    start->answer = start->driver->Start(start->handle);
    return 0;
}

void SetRun(DriverInstance* instance, uint32_t number, bool live) {
    AcquireSRWLockExclusive(&instance->engine.lifecycleLock);
    instance->engine.run = WorkerRun{nullptr, 0, number, live};
    WakeAllConditionVariable(&instance->engine.runEnded);
    ReleaseSRWLockExclusive(&instance->engine.lifecycleLock);
}

TEST_F(WorkerTest, StartWaitsForEveryRunThatEndsWhileItSleeps) {
    SimulatedHost host;
    DriverInstance* instance = Create(&host, "start");
    SetRun(instance, 1, true);  // a run stopped and still ending
    StartThread start = {&driver, host.instance};
    const HANDLE thread = CreateThread(nullptr, 0, StartOnAnotherThread, &start, 0, nullptr);
    ASSERT_NE(thread, nullptr);
    Sleep(kHostCallHeadStartMs);
    // Run 1 ends; other threads start run 2 and stop it before Start wakes.
    SetRun(instance, 2, true);
    EXPECT_EQ(WaitForSingleObject(thread, kHostCallHeadStartMs), static_cast<DWORD>(WAIT_TIMEOUT))
        << "Start did not wait for the later run";
    SetRun(instance, 2, false);
    ASSERT_EQ(WaitForSingleObject(thread, QP240REMOTE_STOP_WAIT_MS), WAIT_OBJECT_0);
    CloseHandle(thread);
    EXPECT_EQ(start.answer.load(), QP240REMOTE_OK);
    EXPECT_EQ(driver.Stop(host.instance), QP240REMOTE_OK);
    Finish(&host);
}

}  // namespace
