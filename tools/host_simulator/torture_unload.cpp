// The long mode's unload of a DLL while a worker that Stop gave up on is
// still blocked in a callback of it.
#include "tools/host_simulator/torture_actors.h"

#include "tools/host_simulator/torture_checks.h"

// The probe's host: accepts the keypad and blocks in code 60 until let go.
struct UnloadProbe {
    HANDLE blocked;  // set once the worker blocks
    HANDLE letGo;    // set by the torture
    std::atomic<bool> givenUp;
    std::atomic<int> callsAfterGiveUp;
};
static UnloadProbe g_probe;

static int32_t ProbeCallback(intptr_t, int32_t code, int32_t, void*) {
    if (g_probe.givenUp.load())
        g_probe.callsAfterGiveUp.fetch_add(1);
    if (code == QP240REMOTE_CODE_CONNECTED) {
        SetEvent(g_probe.blocked);
        WaitForSingleObject(g_probe.letGo, INFINITE);
    }
    return code == QP240REMOTE_CODE_OFFER_KEYPAD ? 1 : 0;
}

// A Stop of a blocked worker gives up after its whole wait, less a tick's
// rounding.
static constexpr DWORD kGiveUpEarlyMs = 1000;
// A worker let go leaves its DLL within this.
static constexpr DWORD kWorkerLeavesMs = 2000;

// The DLL's own module, whoever holds it, or null once it is unmapped.
static HMODULE MappedModule(const char* path) {
    return GetModuleHandleA(path);
}

void TortureUnloadWhileBlocked(Torture* torture, const char* path) {
    Deliverable* driver = &torture->driver;
    g_probe.blocked = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    g_probe.letGo = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    g_probe.givenUp.store(false);
    g_probe.callsAfterGiveUp.store(0);

    void* instance = CountedCreate(torture, ProbeCallback, 0);
    if (instance == nullptr || driver->Start(instance) != QP240REMOTE_OK ||
        WaitForSingleObject(g_probe.blocked, 5000) != WAIT_OBJECT_0) {
        Violate(torture, kNothingDone, "the unload probe's worker never blocked");
        SetEvent(g_probe.letGo);
        if (instance != nullptr)
            driver->Destroy(instance);
        DeliverableUnload(driver);
    } else {
        CallTimer timer = TimerBegin(torture, kCallStop, kNoSlot, false);
        const int32_t stopped = driver->Stop(instance);
        const DWORD stopMs = GetTickCount() - timer.start;
        TimerEnd(torture, timer, kLongBlockMs);  // the block outlasts Stop's whole wait
        CheckAnswer(torture, kCallStop, kNoSlot, stopped, {QP240REMOTE_OK});
        if (stopMs < QP240REMOTE_STOP_WAIT_MS - kGiveUpEarlyMs || stopMs > kLongBlockMs)
            Violate(torture, kTooSlow, "Stop of a blocked worker took %lu ms, not about %u ms",
                    stopMs, QP240REMOTE_STOP_WAIT_MS);
        g_probe.givenUp.store(true);
        torture->givenUp.fetch_add(1, std::memory_order_relaxed);
        timer = TimerBegin(torture, kCallDestroy, kNoSlot, true);
        CheckAnswer(torture, kCallDestroy, kNoSlot, driver->Destroy(instance), {QP240REMOTE_OK});
        TimerEnd(torture, timer);
        timer = TimerBegin(torture, kCallEnd, kNoSlot, false);
        driver->End();
        TimerEnd(torture, timer);
        DeliverableUnload(driver);
        if (MappedModule(path) == nullptr)
            Violate(torture, kLibraryGone, "unloaded under a worker blocked in a callback");

        // Loaded again while that worker still blocks: a whole working cycle.
        char error[512];
        for (int cycle = 0; cycle < 2 && DeliverableLoad(driver, path, error, sizeof error);
             ++cycle) {
            CheckAnswer(torture, kCallInit, kNoSlot, driver->Init(driver->module),
                        {QP240REMOTE_OK});
            if (void* other = CountedCreate(torture, SpareCallback, 0)) {
                CheckAnswer(torture, kCallStart, kNoSlot, driver->Start(other), {QP240REMOTE_OK});
                CheckAnswer(torture, kCallStop, kNoSlot, driver->Stop(other), {QP240REMOTE_OK});
                CheckAnswer(torture, kCallDestroy, kNoSlot, driver->Destroy(other),
                            {QP240REMOTE_OK});
            }
            driver->End();
            DeliverableUnload(driver);
            torture->unloadCycles.fetch_add(1, std::memory_order_relaxed);
        }
        if (MappedModule(path) == nullptr)
            Violate(torture, kLibraryGone, "unmapped after the reload cycles, worker blocked");
        // The worker returns into the DLL, makes no more calls, and lets go of
        // it on its way out; the DLL stays, as it made boxes in this process
        // (the warm-up's, the run's), whose code must outlive every unload.
        SetEvent(g_probe.letGo);
        Sleep(kWorkerLeavesMs);
        if (MappedModule(path) == nullptr)
            Violate(torture, kLibraryGone, "unmapped after its last unload, though it made boxes");
        if (g_probe.callsAfterGiveUp.load() != 0)
            Violate(torture, kLateCallback, "the unload probe was called %d times after Stop",
                    g_probe.callsAfterGiveUp.load());
    }
    CloseHandle(g_probe.blocked);
    CloseHandle(g_probe.letGo);
}
