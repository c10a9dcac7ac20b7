// Start, Stop and Destroy of one instance from two host threads at once. The
// second thread's calls are forced into the middle of the first thread's
// Start through the start seam (g_workerStartHeldHook), where, without the
// instance's lifecycle lock, they would find the started bit set and no
// worker yet.
#include <vector>

#include "engine/worker_control.h"
#include "include/qp240_remote.h"
#include "tests/windows/engine/worker_fixture.h"

namespace {

// Long enough for the intruding thread to reach its first call.
constexpr DWORD kIntruderHeadStartMs = 150;

// What the second host thread calls, in order, while the first one's Start
// holds the instance.
struct Intruder {
    const Deliverable* driver;
    SimulatedHost* host;
    std::vector<int32_t (*)(void*)> calls;
    std::vector<int32_t> answers;
    std::vector<int32_t> codesAfterFirst;  // the host's codes when the first call returned
    HANDLE thread;
};

Intruder* g_intruder;

DWORD WINAPI RunIntruder(LPVOID) {
    for (int32_t (*call)(void*) : g_intruder->calls) {
        g_intruder->answers.push_back(call(g_intruder->host->instance));
        if (g_intruder->answers.size() == 1)
            g_intruder->codesAfterFirst = SimulatedHostCodes(g_intruder->host);
    }
    return 0;
}

void LetIntruderIn(KeypadEngine*) {
    g_workerStartHeldHook = nullptr;  // the intruder's own Start passes
    g_intruder->thread = CreateThread(nullptr, 0, RunIntruder, nullptr, 0, nullptr);
    Sleep(kIntruderHeadStartMs);
}

TEST_F(WorkerTest, StartStopAndDestroyFromTwoThreadsAtOnceKeepOneWholeWorker) {
    const std::vector<int32_t> oneRun = {QP240REMOTE_CODE_WORKER_BEGINS,
                                         QP240REMOTE_CODE_CLOSE_KEYPAD, QP240REMOTE_CODE_NO_KEYPAD,
                                         QP240REMOTE_CODE_WORKER_ENDS};
    std::vector<int32_t> twoRuns = oneRun;
    twoRuns.insert(twoRuns.end(), oneRun.begin(), oneRun.end());
    const struct {
        const char* name;
        std::vector<int32_t (*)(void*)> calls;
        std::vector<int32_t> answers;
        int32_t lastStop;  // what a Stop afterwards answers; 0 when the instance is gone
        std::vector<int32_t> finalCodes;
    } cases[] = {
        {"Stop", {driver.Stop}, {0}, 1, oneRun},
        {"Stop then Start", {driver.Stop, driver.Start}, {0, 0}, 0, twoRuns},
        {"Destroy", {driver.Destroy}, {0}, 0, oneRun},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        SimulatedHost host;
        Create(&host, c.name);
        Intruder intruder = {&driver, &host, c.calls, {}, {}, nullptr};
        g_intruder = &intruder;
        g_workerStartHeldHook = LetIntruderIn;
        EXPECT_EQ(driver.Start(host.instance), 0);
        g_workerStartHeldHook = nullptr;
        ASSERT_NE(intruder.thread, nullptr);
        ASSERT_EQ(WaitForSingleObject(intruder.thread, 15000), WAIT_OBJECT_0);
        CloseHandle(intruder.thread);

        EXPECT_EQ(intruder.answers, c.answers);
        // A Stop or Destroy that answered 0 came after the worker's end.
        EXPECT_EQ(intruder.codesAfterFirst, oneRun);
        const bool destroyed = c.calls.back() == driver.Destroy;
        if (!destroyed) {
            EXPECT_EQ(driver.Stop(host.instance), c.lastStop);
            EXPECT_EQ(driver.GetDriverStatus(host.instance), 0);
        }
        EXPECT_EQ(SimulatedHostCodes(&host), c.finalCodes);
        if (destroyed)
            SimulatedHostFree(&host);
        else
            Finish(&host);
    }
}

}  // namespace
