// Who frees an instance whose worker outlives Stop's wait, and Stop or
// Destroy made by the host from inside a callback on the worker itself.
#include <atomic>
#include <vector>

#include "driver/library_state.h"
#include "engine/worker_thread.h"
#include "include/qp240_remote.h"
#include "tests/windows/engine/worker_fixture.h"
#include "tools/host_simulator/heap_watch.h"

namespace {

// Opens the thread that made the host's first call.
HANDLE WorkerThreadOf(SimulatedHost* host) {
    return OpenThread(SYNCHRONIZE | THREAD_QUERY_INFORMATION, FALSE,
                      SimulatedHostCalls(host).at(0).threadId);
}

DWORD Elapsed(DWORD start) {
    return GetTickCount() - start;
}

TEST_F(WorkerTest, AWorkerStopGaveUpOnMakesNoMoreCallsAndFreesTheRecordItself) {
    ASSERT_TRUE(HeapWatchInstall(GetModuleHandleA(nullptr)));
    g_workerStopWaitMs = 300;
    SimulatedDevicePlug(KeypadDevice(kKeypadProduct));
    SimulatedHost destroyed, restarted;
    Create(&destroyed, "destroyed");
    Create(&restarted, "restarted");
    SimulatedHost* const hosts[] = {&destroyed, &restarted};
    for (SimulatedHost* host : hosts) {
        ASSERT_TRUE(StartAndConnect(host));
        host->blockCode =
            QP240REMOTE_CODE_PAD_PRESSED;  // the host does not return from the pad event
        ASSERT_EQ(SimulatedHostSetKey(host, 2, true), 0);
    }
    HANDLE workers[2];
    for (int i = 0; i < 2; ++i) {
        ASSERT_TRUE(SimulatedHostWaitFor(hosts[i], QP240REMOTE_CODE_PAD_PRESSED, 1, 1000));
        workers[i] = WorkerThreadOf(hosts[i]);
        const DWORD start = GetTickCount();
        EXPECT_EQ(driver.Stop(hosts[i]->instance), 0);
        EXPECT_GE(Elapsed(start), 250u);
        EXPECT_LT(Elapsed(start), 3000u);
        EXPECT_EQ(driver.GetDriverStatus(hosts[i]->instance), 0);
        // Id-55 calls are refused as after a worker's end.
        EXPECT_EQ(SimulatedHostSetKey(hosts[i], 2, false), -3);
    }

    // Only one worker per instance: a Start while the old one lives fails,
    // and the old one is not revived.
    EXPECT_EQ(driver.Start(restarted.instance), QP240REMOTE_E_NO_THREAD);
    EXPECT_EQ(driver.GetDriverStatus(restarted.instance), 1);
    EXPECT_EQ(driver.Start(restarted.instance), 1);
    EXPECT_EQ(driver.Stop(restarted.instance), 0);

    // Destroy returns at once; the worker still holds the record. What the
    // record holds goes with it (the record's own block waits in the
    // quarantine), so the ring's storage shows who let go last.
    void* const record = destroyed.instance;
    HeapWatchFree(static_cast<DriverInstance*>(record)->engine.reportQueue.storage);
    const DWORD start = GetTickCount();
    EXPECT_EQ(driver.Destroy(record), 0);
    EXPECT_LT(Elapsed(start), 1000u);
    EXPECT_EQ(HeapWatchFreedOn(), 0u);
    EXPECT_EQ(driver.Destroy(record), QP240REMOTE_E_BAD_HANDLE)
        << "a destroyed handle stays refused";
    EXPECT_EQ(driver.GetContextSize(record), QP240REMOTE_E_BAD_HANDLE);
    EXPECT_STREQ(driver.GetLastErrorString(), kErrorObjectNotCreated);

    // The host lets both workers go: they end without another call, and the
    // destroyed instance's worker frees the record.
    for (int i = 0; i < 2; ++i) {
        SetEvent(hosts[i]->release);
        ASSERT_EQ(WaitForSingleObject(workers[i], 3000), WAIT_OBJECT_0);
        DWORD exitCode = 1;
        GetExitCodeThread(workers[i], &exitCode);
        EXPECT_EQ(exitCode, 0u);
        EXPECT_EQ(SimulatedHostCodes(hosts[i]).back(), QP240REMOTE_CODE_PAD_PRESSED)
            << hosts[i]->label;
    }
    EXPECT_EQ(HeapWatchFreedOn(), GetThreadId(workers[0]));

    // Once the old worker has ended, the instance starts and connects again.
    restarted.blockCode = 0;
    const size_t before = SimulatedHostCalls(&restarted).size();
    ASSERT_TRUE(StartAndConnect(&restarted));
    EXPECT_EQ(driver.Stop(restarted.instance), 0);
    EXPECT_EQ(SimulatedHostCalls(&restarted).size(), before + 7);  // 50 80 151 60 81 70 51
    Finish(&restarted);
    SimulatedHostFree(&destroyed);
    CloseHandle(workers[0]);
    CloseHandle(workers[1]);
}

// The export a host calls from inside a callback, with what it answered and
// how long it took.
struct InnerCall {
    int32_t onCode;
    int32_t (*call)(void* handle);
    std::atomic<int32_t> result;
    std::atomic<DWORD> elapsedMs;
};

void CallFromCallback(SimulatedHost* host, int32_t code) {
    InnerCall* inner = static_cast<InnerCall*>(host->hookContext);
    if (code != inner->onCode)
        return;
    const DWORD start = GetTickCount();
    inner->result = inner->call(host->instance);
    inner->elapsedMs = GetTickCount() - start;
}

TEST_F(WorkerTest, StopOrDestroyFromInsideACallbackDoesNotWaitForItsOwnThread) {
    ASSERT_TRUE(HeapWatchInstall(GetModuleHandleA(nullptr)));
    const HANDLE keypad = SimulatedDevicePlug(KeypadDevice(kKeypadProduct));
    SimulatedHost stopOnConnect, stopOnBegin, destroyOnConnect;
    InnerCall stop1 = {QP240REMOTE_CODE_CONNECTED, driver.Stop, {99}, {0}};
    InnerCall stop2 = {QP240REMOTE_CODE_WORKER_BEGINS, driver.Stop, {99}, {0}};
    InnerCall destroy = {QP240REMOTE_CODE_CONNECTED, driver.Destroy, {99}, {0}};
    const struct {
        SimulatedHost* host;
        InnerCall* inner;
    } cases[] = {{&stopOnConnect, &stop1}, {&stopOnBegin, &stop2}, {&destroyOnConnect, &destroy}};
    for (const auto& c : cases) {
        Create(c.host, "host");
        c.host->hook = CallFromCallback;
        c.host->hookContext = c.inner;
    }
    HeapWatchFree(
        static_cast<DriverInstance*>(destroyOnConnect.instance)->engine.reportQueue.storage);
    for (const auto& c : cases)
        ASSERT_EQ(driver.Start(c.host->instance), 0);
    for (const auto& c : cases)
        ASSERT_TRUE(SimulatedHostWaitFor(c.host, c.inner->onCode, 1, kConnectTimeoutMs));
    Sleep(100);

    for (const auto& c : cases) {
        EXPECT_EQ(c.inner->result.load(), 0);
        EXPECT_LT(c.inner->elapsedMs.load(), 500u) << "waited for its own thread";
    }
    // Stopped from inside: the worker ends after the callback returns, with
    // the usual exit calls; a later Stop finds nothing to do.
    EXPECT_EQ(SimulatedHostCodes(&stopOnConnect),
              (std::vector<int32_t>{QP240REMOTE_CODE_WORKER_BEGINS, QP240REMOTE_CODE_OFFER_KEYPAD,
                                    QP240REMOTE_CODE_FILL_STATUS, QP240REMOTE_CODE_CONNECTED,
                                    QP240REMOTE_CODE_CLOSE_KEYPAD, QP240REMOTE_CODE_NO_KEYPAD,
                                    QP240REMOTE_CODE_WORKER_ENDS}));
    EXPECT_EQ(SimulatedHostCallsWith(&stopOnConnect, QP240REMOTE_CODE_CLOSE_KEYPAD).at(0).pointer,
              keypad);
    EXPECT_EQ(driver.Stop(stopOnConnect.instance), 1);
    EXPECT_EQ(SimulatedHostCodes(&stopOnBegin),
              (std::vector<int32_t>{QP240REMOTE_CODE_WORKER_BEGINS, QP240REMOTE_CODE_CLOSE_KEYPAD,
                                    QP240REMOTE_CODE_NO_KEYPAD, QP240REMOTE_CODE_WORKER_ENDS}));
    // Destroyed from inside: no further call, and the worker freed the record.
    EXPECT_EQ(SimulatedHostCodes(&destroyOnConnect).back(), QP240REMOTE_CODE_CONNECTED);
    EXPECT_EQ(HeapWatchFreedOn(),
              SimulatedHostCallsWith(&destroyOnConnect, QP240REMOTE_CODE_CONNECTED).at(0).threadId);

    Finish(&stopOnConnect);
    Finish(&stopOnBegin);
    SimulatedHostFree(&destroyOnConnect);
}

DWORD WINAPI ReleaseAfter200Ms(void* argument) {
    Sleep(200);
    SetEvent(static_cast<SimulatedHost*>(argument)->release);
    return 0;
}

DWORD WINAPI StopOnAnotherThread(void* argument) {
    SimulatedHost* host = static_cast<SimulatedHost*>(argument);
    return static_cast<DWORD>(host->driver->Stop(host->instance));
}

// A worker whose run was ended, from inside its own callback or by a Stop on
// another host thread, makes its last host calls on its own; a Stop or
// Destroy on a host thread meanwhile returns only after they have returned,
// whatever it answers, since the host frees what they use as soon as it
// returns.
TEST_F(WorkerTest, StopAndDestroyWaitForTheLastCallsOfARunAlreadyEnding) {
    SimulatedDevicePlug(KeypadDevice(kKeypadProduct));
    const std::vector<int32_t> wholeRun = {
        QP240REMOTE_CODE_WORKER_BEGINS, QP240REMOTE_CODE_OFFER_KEYPAD, QP240REMOTE_CODE_FILL_STATUS,
        QP240REMOTE_CODE_CONNECTED,     QP240REMOTE_CODE_CLOSE_KEYPAD, QP240REMOTE_CODE_NO_KEYPAD,
        QP240REMOTE_CODE_WORKER_ENDS};
    const struct {
        const char* name;
        bool stoppedInside;  // else a Stop on another host thread ended the run
        bool destroy;        // else a Stop
        int32_t answer;
    } cases[] = {{"inside, then Destroy", true, true, 0},
                 {"inside, then Stop", true, false, 1},
                 {"two Stops", false, false, 1},
                 {"Stop, then Destroy", false, true, 0}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        SimulatedHost host;
        InnerCall stop = {QP240REMOTE_CODE_CONNECTED, driver.Stop, {99}, {0}};
        Create(&host, c.name);
        if (c.stoppedInside) {
            host.hook = CallFromCallback;
            host.hookContext = &stop;
        }
        host.blockCode =
            QP240REMOTE_CODE_CLOSE_KEYPAD;  // closing the keypad takes the host a while
        ASSERT_TRUE(StartAndConnect(&host));
        const HANDLE firstStopper =
            c.stoppedInside ? nullptr
                            : CreateThread(nullptr, 0, StopOnAnotherThread, &host, 0, nullptr);
        ASSERT_TRUE(
            SimulatedHostWaitFor(&host, QP240REMOTE_CODE_CLOSE_KEYPAD, 1, kConnectTimeoutMs));

        const HANDLE releaser = CreateThread(nullptr, 0, ReleaseAfter200Ms, &host, 0, nullptr);
        ASSERT_NE(releaser, nullptr);
        const DWORD start = GetTickCount();
        EXPECT_EQ(c.destroy ? driver.Destroy(host.instance) : driver.Stop(host.instance), c.answer);
        EXPECT_GE(Elapsed(start), 150u) << "returned while the host was still closing the keypad";
        EXPECT_EQ(SimulatedHostCodes(&host), wholeRun);
        WaitForSingleObject(releaser, INFINITE);
        CloseHandle(releaser);
        if (firstStopper != nullptr) {
            DWORD firstAnswer = 99;
            WaitForSingleObject(firstStopper, INFINITE);
            GetExitCodeThread(firstStopper, &firstAnswer);
            EXPECT_EQ(firstAnswer, 0u);
            CloseHandle(firstStopper);
        }
        if (c.destroy)
            SimulatedHostFree(&host);
        else
            Finish(&host);
    }
}

}  // namespace
