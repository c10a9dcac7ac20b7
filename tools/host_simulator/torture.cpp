// The torture's orchestration: per DLL, the keypads, the warm-up, the actors'
// threads for the run's time, the teardown, the long mode's unload, the counts
// and the summary; a watchdog for a run that does not end, and the crash
// handler.
#include "tools/host_simulator/torture.h"

#include <cstdio>
#include <vector>

#include "tools/host_simulator/config_box_view.h"
#include "tools/host_simulator/keypad_families.h"
#include "tools/host_simulator/simulated_keypads.h"
#include "tools/host_simulator/torture_actors.h"
#include "tools/host_simulator/torture_checks.h"

// Beyond its time, a run this much longer is stuck: the rounds, Stops and
// Destroys still in hand wait a Stop's wait each at the most, and the long
// mode's unload takes a whole one.
static constexpr DWORD kStuckAfterMs = 60000;

static HANDLE StartThread(LPTHREAD_START_ROUTINE body, uintptr_t argument) {
    return CreateThread(nullptr, 0, body, reinterpret_cast<LPVOID>(argument), 0, nullptr);
}

static void JoinThreads(std::vector<HANDLE>* threads) {
    for (HANDLE thread : *threads) {
        WaitForSingleObject(thread, INFINITE);
        CloseHandle(thread);
    }
    threads->clear();
}

// What the run must give back. Many windows painting at once grow the
// system's cache of window DCs, which is not the driver's to give back.
static ProcessCounts TortureCounts() {
    ProcessCounts counts = TakeProcessCounts();
    counts.gdiObjects = LiveGdiObjectsBesideDcCache();
    return counts;
}

// Threads end a moment after their last step; the counts settle soon after.
static ProcessCounts SettledCounts(const ProcessCounts& before) {
    ProcessCounts after = TortureCounts();
    for (int attempt = 0; attempt < 30 && after.threads != before.threads; ++attempt) {
        Sleep(100);
        after = TortureCounts();
    }
    return after;
}

// A run that does not end is reported, with what it did so far, instead of
// waiting for an outer timeout that would show nothing.
struct Watchdog {
    HANDLE done;  // manual-reset: the run ended
    DWORD limitMs;
    const char* label;
    DWORD start;
};

static DWORD WINAPI WatchRun(LPVOID argument) {
    const Watchdog* watchdog = static_cast<const Watchdog*>(argument);
    if (WaitForSingleObject(watchdog->done, watchdog->limitMs) == WAIT_OBJECT_0)
        return 0;
    const ProcessCounts none = {};
    // A thread stuck in the heap may hold the lock in the midst of a
    // violation's record: the report is made without it then.
    bool locked = false;
    for (int attempt = 0; attempt < 100 && !locked; ++attempt) {
        locked = TryEnterCriticalSection(&g_torture->violationLock) != 0;
        if (!locked)
            Sleep(10);
    }
    PrintSummary(*g_torture, watchdog->label, GetTickCount() - watchdog->start, none, none);
    if (locked)
        LeaveCriticalSection(&g_torture->violationLock);
    PrintStuckCalls(*g_torture);
    TortureReport("torture: stuck: %s did not end within %lu ms after its time\n", watchdog->label,
                  kStuckAfterMs);
    // No detach of the DLLs: one may be stuck in the very state it reports.
    TerminateProcess(GetCurrentProcess(), 4);
    return 4;
}

// One unmeasured cycle of everything the run does, so that what the process
// makes once (a thread's message queue, the system's fonts and classes) is in
// place before the counts are taken.
static void WarmUp(const Deliverable& driver) {
    HWND host = CreateSimulatedHostWindow(QP240REMOTE_BOX_WIDTH, QP240REMOTE_BOX_HEIGHT);
    driver.Init(driver.module);
    if (void* instance = driver.Create(TortureCallback, TortureUserValue(0, 0))) {
        driver.OpenConfigBox(instance, host, kHostMargin, kHostMargin, QP240REMOTE_BOX_WIDTH,
                             QP240REMOTE_BOX_HEIGHT);
        PumpHostMessages();
        driver.Destroy(instance);
    }
    driver.End();
    DestroyWindow(host);
    PumpHostMessages();
}

static void InitialiseRecords(Torture* torture) {
    InitializeCriticalSection(&torture->violationLock);
    InitializeSRWLock(&torture->settingsGate);
    for (TortureSlot& slot : torture->slots) {
        InitializeSRWLock(&slot.books);
        InitializeCriticalSection(&slot.track);
    }
    Ambush* ambush = &torture->ambush;
    ambush->armedSlot.store(kNoSlot);
    for (HANDLE* event : {&ambush->sprung, &ambush->stopNow, &ambush->stopped, &ambush->endNow})
        *event = CreateEventA(nullptr, TRUE, FALSE, nullptr);
}

static void FreeRecords(Torture* torture) {
    const Ambush& ambush = torture->ambush;
    for (HANDLE event : {ambush.sprung, ambush.stopNow, ambush.stopped, ambush.endNow})
        CloseHandle(event);
    for (TortureSlot& slot : torture->slots)
        DeleteCriticalSection(&slot.track);
    DeleteCriticalSection(&torture->violationLock);
}

// The actors for the run's time, then every instance destroyed and every box
// thread ended.
static void DriveForTheRunsTime(Torture* torture) {
    torture->running.store(true);
    torture->boxesFinish = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    std::vector<HANDLE> boxThreads;
    for (int i = 0; i < kTortureBoxThreads; ++i) {
        torture->boxesReady[i] = CreateEventA(nullptr, TRUE, FALSE, nullptr);
        boxThreads.push_back(StartThread(TortureBoxThread, static_cast<uintptr_t>(i)));
        WaitForSingleObject(torture->boxesReady[i], INFINITE);
    }
    std::vector<HANDLE> threads;
    // The driver threads, the rounds' thread, a reader per instance, the plugger.
    threads.reserve(kTortureDriverThreads + 1 + kTortureSlots + 1);
    for (int i = 0; i < kTortureDriverThreads; ++i)
        threads.push_back(StartThread(TortureDriverThread, static_cast<uintptr_t>(i)));
    threads.push_back(StartThread(TortureRoundThread, 0));
    for (int i = 0; i < kTortureSlots; ++i)
        threads.push_back(StartThread(TortureReaderThread, static_cast<uintptr_t>(i)));
    threads.push_back(StartThread(TorturePlugThread, 0));

    torture->phase.store("driving");
    Sleep(torture->settings.seconds * 1000);
    torture->running.store(false);
    torture->phase.store("joining the host threads");
    JoinThreads(&threads);
    torture->phase.store("destroying the instances left");
    for (int index = 0; index < kTortureSlots; ++index) {
        TortureSlot* slot = &torture->slots[index];
        SlotQuiet(slot);
        const SlotHold held = SlotHoldHandle(slot, true);
        if (held.handle != nullptr) {
            TortureDestroyFromHost(torture, index, held, false);
            SlotLetGo(slot);
        }
        SlotLiveHandle(torture, index);
        SlotLoud(slot);
    }
    torture->phase.store("ending the box threads");
    SetEvent(torture->boxesFinish);
    JoinThreads(&boxThreads);
    for (HANDLE event : torture->boxesReady)
        CloseHandle(event);
    CloseHandle(torture->boxesFinish);
}

// One deliverable for the run's time; true when nothing was found.
static bool TortureDeliverable(const char* path, const TortureSettings& settings) {
    Torture* torture = new Torture{};
    torture->settings = settings;
    char error[512];
    if (!DeliverableLoad(&torture->driver, path, error, sizeof error)) {
        std::fprintf(stderr, "host_simulator: %s\n", error);
        delete torture;
        return false;
    }
    const char* label = PathFileName(path);
    torture->family = DeliverableFamily(torture->driver);
    if (torture->family == nullptr) {
        std::printf("== torture %s: its plug information names neither keypad family; not run "
                    "==\n",
                    label);
        DeliverableUnload(&torture->driver);
        delete torture;
        return false;
    }
    g_torture = torture;
    InitialiseRecords(torture);
    const HANDLE keypad = SimulatedDevicePlug(KeypadDevice(torture->family->productIds[0]));
    const HANDLE decoy = SimulatedDevicePlug(DecoyOtherVendor(torture->family->productIds[0]));
    WarmUp(torture->driver);
    const ProcessCounts before = TortureCounts();
    const DWORD start = GetTickCount();
    Watchdog watchdog = {CreateEventA(nullptr, TRUE, FALSE, nullptr),
                         settings.seconds * 1000 + kStuckAfterMs, label, start};
    const HANDLE watcher = CreateThread(nullptr, 0, WatchRun, &watchdog, 0, nullptr);

    CallTimer timer = TimerBegin(torture, kCallInit, kNoSlot, false);
    CheckAnswer(torture, kCallInit, kNoSlot, torture->driver.Init(torture->driver.module),
                {QP240REMOTE_OK});
    TimerEnd(torture, timer);
    DriveForTheRunsTime(torture);
    ValidateHeaps(torture);
    if (settings.longMode) {
        torture->phase.store("unloading under a blocked worker");
        TortureUnloadWhileBlocked(torture, path);
    } else {
        torture->phase.store("ending and unloading");
        timer = TimerBegin(torture, kCallEnd, kNoSlot, false);
        CheckAnswer(torture, kCallEnd, kNoSlot, torture->driver.End(), {QP240REMOTE_OK});
        TimerEnd(torture, timer);
        DeliverableUnload(&torture->driver);
    }
    ValidateHeaps(torture);
    CheckActivity(torture);

    SetEvent(watchdog.done);
    WaitForSingleObject(watcher, INFINITE);
    CloseHandle(watcher);
    CloseHandle(watchdog.done);
    SimulatedDeviceUnplug(decoy);
    SimulatedDeviceUnplug(keypad);
    const ProcessCounts after = SettledCounts(before);
    if (after.threads != before.threads || after.kernelHandles != before.kernelHandles ||
        after.gdiObjects != before.gdiObjects)
        Violate(torture, kCountsChanged, "threads %d -> %d, handles %d -> %d, GDI %d -> %d",
                before.threads, after.threads, before.kernelHandles, after.kernelHandles,
                before.gdiObjects, after.gdiObjects);
    PrintSummary(*torture, label, GetTickCount() - start, before, after);
    std::fflush(stdout);

    const bool clean = ViolationCount(*torture) == 0;
    FreeRecords(torture);
    g_torture = nullptr;
    delete torture;
    return clean;
}

// A fault in the driver ends the run at once with its address, rather than
// waiting for a debugger that never comes.
static LONG WINAPI ReportCrash(EXCEPTION_POINTERS* exception) {
    std::printf("\ntorture: the process crashed: exception 0x%08lX at %p\n",
                exception->ExceptionRecord->ExceptionCode,
                exception->ExceptionRecord->ExceptionAddress);
    std::fflush(stdout);
    ExitProcess(3);
}

int TortureRun(const TortureSettings& asked, std::vector<std::string> dlls) {
    SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX);
    SetUnhandledExceptionFilter(ReportCrash);
    char error[256];
    if (!SimulatedKeypadsInstall(error, sizeof error)) {
        std::fprintf(stderr, "host_simulator: %s\n", error);
        return 1;
    }
    TortureSettings settings = asked;
    if (!settings.seedGiven) {
        LARGE_INTEGER now;
        QueryPerformanceCounter(&now);
        settings.seed = static_cast<uint32_t>(now.QuadPart ^ (now.QuadPart >> 32));
    }
    if (dlls.empty()) {
        for (const KeypadFamily& family : kKeypadFamilies)
            dlls.push_back(DeliverablePath(family));
    }
    bool clean = true;
    for (size_t i = 0; i < dlls.size(); ++i) {
        if (i > 0) {
            std::printf("\n");
            std::fflush(stdout);
        }
        clean = TortureDeliverable(dlls[i].c_str(), settings) && clean;
    }
    return clean ? 0 : 1;
}
