#include "tools/host_simulator/torture_checks.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "tools/host_simulator/config_box_view.h"
#include "tools/host_simulator/thread_stacks.h"

const char* const kTortureCallNames[kCallKinds] = {
#define KOLMAR_TORTURE_NAME(name) #name,
    KOLMAR_EXPORTS(KOLMAR_TORTURE_NAME)
#undef KOLMAR_TORTURE_NAME
};

const char* const kViolationNames[kViolationKinds] = {
    "callbacks of one instance overlapped",
    "callback from a thread other than its run's",
    "second worker while a run was open (50 without 51)",
    "callback after its instance's Destroy or its worker's give-up",
    "Stop or Destroy answered with an earlier run still going",
    "driver status and worker disagree",
    "two boxes of one instance",
    "box outlived its instance's Destroy",
    "box window left at the end",
    "stored settings not one destroyed instance's pair",
    "heap corrupted (HeapValidate)",
    "threads, handles or GDI objects not back",
    "answer outside the documented set",
    "call slower than its documented wait",
    "a part of the run never happened",
    "library unmapped under a worker still in it, or after it made a box",
    "Destroys of one instance did not answer 0 exactly once",
    "a destroyed handle was served",
    "the library failed the next instance after an end inside a callback",
};

// The documented waits, with room for a busy machine under full heap checks.
// Start, Stop and Destroy wait for a worker's run to end: the rest of a
// detection pass (1 s) and the pass itself while detecting, the snapshot in
// hand and 10 ms while connected, plus whatever its callbacks take. A call of
// the box from another thread waits for the box's thread, which pumps its
// messages every few milliseconds; a box closed from another thread goes
// within as long. Everything else returns at once.
static constexpr DWORD kWaitLimitMs = 2500;
static constexpr DWORD kBoxLimitMs = 1500;
static constexpr DWORD kQuickLimitMs = 250;

// A worker given up on leaves soon after its blocked callback returned; until
// then a Start may still find it.
static constexpr DWORD kGivenUpLeavesMs = 2000;

// NOLINTNEXTLINE(cert-dcl50-cpp): a printf format, checked by the compiler.
void Violate(Torture* torture, Violation kind, const char* format, ...) {
    char text[sizeof torture->firstOfKind[0]];
    va_list arguments;
    va_start(arguments, format);
    std::vsnprintf(text, sizeof text, format, arguments);
    va_end(arguments);
    EnterCriticalSection(&torture->violationLock);
    if (torture->violations[kind]++ == 0)
        std::memcpy(torture->firstOfKind[kind], text, sizeof text);
    LeaveCriticalSection(&torture->violationLock);
}

static bool Waits(TortureCall call) {
    return call == kCallStart || call == kCallStop || call == kCallDestroy;
}

static DWORD LimitMs(TortureCall call, bool fromCallback) {
    // From a callback Destroy waits for no worker, but closes the box, which
    // waits for a paint or click the box's thread has in hand.
    if (call == kCallDestroy && fromCallback)
        return kBoxLimitMs;
    if (Waits(call))
        return fromCallback ? kQuickLimitMs : kWaitLimitMs;
    if (call == kCallOpenConfigBox || call == kCallCloseConfigBox)
        return kBoxLimitMs;
    return kQuickLimitMs;
}

CallTimer TimerBegin(Torture* torture, TortureCall call, int index, bool fromCallback) {
    const uint64_t blocked = index >= 0 ? torture->slots[index].blockedMs.load() : 0;
    const bool blocking = index >= 0 && torture->slots[index].blockingThread.load() != 0;
    const DWORD start = GetTickCount();
    int flight = -1;
    for (int i = 0; i < kTortureInFlight && flight < 0; ++i) {
        DWORD free = 0;
        if (torture->inFlight[i].thread.compare_exchange_strong(free, GetCurrentThreadId()))
            flight = i;
    }
    if (flight >= 0) {
        InFlightCall* entry = &torture->inFlight[flight];
        entry->call.store(call);
        entry->index.store(index);
        entry->start.store(start);
        entry->fromCallback.store(fromCallback);
    }
    return CallTimer{call, index, start, blocked, blocking, fromCallback, flight};
}

void TimerEnd(Torture* torture, const CallTimer& timer, DWORD extraMs) {
    const DWORD elapsed = GetTickCount() - timer.start;
    if (timer.flight >= 0)
        torture->inFlight[timer.flight].thread.store(0);
    CallStats* stats = &torture->calls[timer.call];
    stats->count.fetch_add(1, std::memory_order_relaxed);
    uint32_t slowest = stats->slowestMs.load(std::memory_order_relaxed);
    while (elapsed > slowest && !stats->slowestMs.compare_exchange_weak(slowest, elapsed)) {
    }
    DWORD allowed = LimitMs(timer.call, timer.fromCallback) + extraMs;
    if (timer.index >= 0 && Waits(timer.call) && !timer.fromCallback) {
        const TortureSlot& slot = torture->slots[timer.index];
        allowed += static_cast<DWORD>(slot.blockedMs.load() - timer.blockedBefore);
        // A block counts in blockedMs from its start: one that began before
        // the call, or is still on at its end, may have held it for up to a
        // whole give-up wait.
        if (timer.blockingAtBegin || slot.blockingThread.load() != 0)
            allowed += QP240REMOTE_STOP_WAIT_MS;
    }
    if (elapsed > allowed)
        Violate(torture, kTooSlow, "%s%s took %lu ms, documented at most %lu ms",
                kTortureCallNames[timer.call], timer.fromCallback ? " from a callback" : "",
                elapsed, allowed);
}

int32_t TimedHandleCall(Torture* torture, TortureCall call, int index, bool fromCallback,
                        int32_t(QP240REMOTE_CALL* exported)(void*), void* handle) {
    const CallTimer timer = TimerBegin(torture, call, index, fromCallback);
    const int32_t answer = exported(handle);
    TimerEnd(torture, timer);
    return answer;
}

void CheckAnswer(Torture* torture, TortureCall call, int index, int32_t answer,
                 std::initializer_list<int32_t> documented) {
    for (int32_t expected : documented)
        if (answer == expected)
            return;
    // A call that overlaps a Destroy of its handle may find it claimed.
    if (index >= 0 && answer == QP240REMOTE_E_BAD_HANDLE &&
        torture->slots[index].destroyBegun.load())
        return;
    Violate(torture, kBadAnswer, "instance %d: %s answered %d", index, kTortureCallNames[call],
            answer);
}

bool GiveUpNear(const Torture& torture, int index) {
    const DWORD now = GetTickCount();
    for (const InFlightCall& entry : torture.inFlight) {
        const TortureCall call = static_cast<TortureCall>(entry.call.load());
        if (entry.thread.load() != 0 && entry.index.load() == index && !entry.fromCallback.load() &&
            (call == kCallStop || call == kCallDestroy) &&
            now - entry.start.load() >= QP240REMOTE_STOP_WAIT_MS - kRunEndGraceMs)
            return true;
    }
    return false;
}

bool TrackCallback(Torture* torture, int index, uint32_t generation, int32_t code) {
    TortureSlot* slot = &torture->slots[index];
    const DWORD self = GetCurrentThreadId();
    bool late = false;
    EnterCriticalSection(&slot->track);
    const uint64_t now = torture->sequence.fetch_add(1) + 1;
    // A run's first callback is never the given-up worker's: that worker has
    // ended, and the system gave its thread's id to the new one.
    if (code == QP240REMOTE_CODE_WORKER_BEGINS && self == slot->givenUpThread)
        slot->givenUpThread = 0;
    if (slot->generation.load() != generation) {
        Violate(torture, kLateCallback, "instance %d: code %d after its Destroy answered", index,
                code);
        late = true;
    } else if (generation != 0 && slot->silenced.load() == generation) {
        Violate(torture, kLateCallback,
                "instance %d: code %d after a Stop or Destroy of it refused on a host thread",
                index, code);
        late = true;
    } else if (self == slot->givenUpThread) {
        Violate(torture, kLateCallback, "instance %d: code %d after Stop gave its worker up", index,
                code);
        late = true;
    } else if (code == QP240REMOTE_CODE_WORKER_BEGINS) {
        if (slot->runOpen)
            Violate(torture, kSecondWorker,
                    "instance %d: 50 on thread %lu while the run of %lu goes on", index, self,
                    slot->runThread);
        slot->runOpen = true;
        slot->runThread = self;
        slot->runBegan = now;
        torture->runs.fetch_add(1, std::memory_order_relaxed);
    } else if (!slot->runOpen || slot->runThread != self) {
        Violate(torture, kWrongThread, "instance %d: code %d on thread %lu, run %s on %lu", index,
                code, self, slot->runOpen ? "open" : "closed", slot->runThread);
    } else if (code == QP240REMOTE_CODE_WORKER_ENDS) {
        slot->runOpen = false;
    }
    LeaveCriticalSection(&slot->track);
    return !late;
}

void CheckRunOver(Torture* torture, int index, uint64_t calledAt, DWORD blocked, const char* call) {
    TortureSlot* slot = &torture->slots[index];
    EnterCriticalSection(&slot->track);
    if (slot->runOpen && slot->runBegan < calledAt) {
        if (blocked != 0 && slot->runThread == blocked) {
            slot->givenUpThread = blocked;
            slot->givenUpLeftAt = 0;
            slot->runOpen = false;
            torture->givenUp.fetch_add(1, std::memory_order_relaxed);
        } else {
            Violate(torture, kRunOutlivesAnswer,
                    "instance %d: %s answered, run on thread %lu goes on", index, call,
                    slot->runThread);
        }
    }
    LeaveCriticalSection(&slot->track);
}

void SilenceGeneration(TortureSlot* slot, uint32_t generation) {
    slot->silenced.store(generation);
}

void NoteStartFailed(Torture* torture, int index) {
    TortureSlot* slot = &torture->slots[index];
    EnterCriticalSection(&slot->track);
    slot->startFailed = true;
    slot->startFailedAt = torture->sequence.fetch_add(1) + 1;
    LeaveCriticalSection(&slot->track);
}

void NoteStopped(TortureSlot* slot, uint64_t calledAt) {
    EnterCriticalSection(&slot->track);
    if (slot->startFailedAt < calledAt)
        slot->startFailed = false;
    LeaveCriticalSection(&slot->track);
}

void CloseRun(TortureSlot* slot) {
    EnterCriticalSection(&slot->track);
    slot->runOpen = false;
    slot->startFailed = false;
    LeaveCriticalSection(&slot->track);
}

static bool RunOpen(TortureSlot* slot) {
    EnterCriticalSection(&slot->track);
    const bool open = slot->runOpen;
    LeaveCriticalSection(&slot->track);
    return open;
}

bool WaitForRun(TortureSlot* slot, bool open, DWORD timeoutMs) {
    const DWORD start = GetTickCount();
    while (RunOpen(slot) != open) {
        if (GetTickCount() - start >= timeoutMs)
            return false;
        Sleep(10);
    }
    return true;
}

// A worker a Stop gave up on may still hold the instance: the status then
// stands without a run the callbacks show.
bool GivenUpWorkerMayLive(Torture* torture, int index) {
    TortureSlot* slot = &torture->slots[index];
    EnterCriticalSection(&slot->track);
    const bool may =
        slot->givenUpThread != 0 &&
        (slot->givenUpLeftAt == 0 || GetTickCount() - slot->givenUpLeftAt < kGivenUpLeavesMs);
    LeaveCriticalSection(&slot->track);
    return may;
}

std::vector<HWND> SlotBoxes(Torture* torture, int index) {
    std::vector<HWND> boxes;
    for (const auto& windows : torture->hostWindows) {
        const DWORD boxThread = GetWindowThreadProcessId(windows[index], nullptr);
        for (HWND box : ConfigBoxesIn(windows[index]))
            if (GetWindowThreadProcessId(box, nullptr) == boxThread)
                boxes.push_back(box);
    }
    return boxes;
}

bool BoxesGo(const std::vector<HWND>& boxes) {
    const DWORD start = GetTickCount();
    for (HWND box : boxes) {
        while (IsWindow(box)) {
            if (GetTickCount() - start >= kBoxLimitMs)
                return false;
            Sleep(2);
        }
    }
    return true;
}

void CheckQuietInstance(Torture* torture, int index, void* instance) {
    TortureSlot* slot = &torture->slots[index];
    const int32_t status = TimedHandleCall(torture, kCallGetDriverStatus, index, false,
                                           torture->driver.GetDriverStatus, instance);
    CheckAnswer(torture, kCallGetDriverStatus, index, status,
                {QP240REMOTE_DRIVER_NOT_STARTED, QP240REMOTE_DRIVER_DETECTING,
                 QP240REMOTE_DRIVER_CONNECTED});
    EnterCriticalSection(&slot->track);
    const bool startFailed = slot->startFailed;
    LeaveCriticalSection(&slot->track);
    if (status == QP240REMOTE_DRIVER_NOT_STARTED && !WaitForRun(slot, false, kRunEndGraceMs))
        Violate(torture, kStatusDisagrees, "instance %d: status 0 while a worker runs", index);
    // After a -2000 the instance counts as started with no worker of its own.
    if (status != QP240REMOTE_DRIVER_NOT_STARTED && !startFailed &&
        !GivenUpWorkerMayLive(torture, index) && !WaitForRun(slot, true, kRunBeginGraceMs))
        Violate(torture, kStatusDisagrees, "instance %d: status %d and no worker", index, status);
    // An earlier instance's box that its Destroy closed from another thread
    // may still wait for its box thread.
    const DWORD start = GetTickCount();
    std::vector<HWND> boxes = SlotBoxes(torture, index);
    while (boxes.size() > 1 && GetTickCount() - start < kBoxLimitMs) {
        Sleep(2);
        boxes = SlotBoxes(torture, index);
    }
    if (boxes.size() > 1)
        Violate(torture, kTwoBoxes, "instance %d: %d boxes", index, static_cast<int>(boxes.size()));
}

void ValidateHeaps(Torture* torture) {
    HANDLE heaps[64];
    const DWORD count = GetProcessHeaps(64, heaps);
    for (DWORD i = 0; i < count && i < 64; ++i)
        if (!HeapValidate(heaps[i], 0, nullptr))
            Violate(torture, kHeapInvalid, "heap %p fails HeapValidate", heaps[i]);
}

void CheckActivity(Torture* torture) {
    const struct {
        const std::atomic<uint64_t>* count;
        const char* what;
    } parts[] = {
        {&torture->connected, "no keypad was ever connected"},
        {&torture->events, "no key event arrived"},
        {&torture->boxesMade, "no configuration box was made"},
        {&torture->settingsChecks, "no two Destroys at once were checked"},
        {&torture->ambushes, "no instance ended inside its callback with host threads waiting"},
    };
    for (const auto& part : parts)
        if (part.count->load() == 0)
            Violate(torture, kNothingDone, "%s", part.what);
    if (torture->settings.longMode && torture->givenUp.load() == 0)
        Violate(torture, kNothingDone, "no worker was given up on");
}

uint32_t HeapCheckFlags() {
    typedef ULONG(WINAPI * GlobalFlagsFn)();
    const auto flags = reinterpret_cast<GlobalFlagsFn>(reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleA("ntdll.dll"), "RtlGetNtGlobalFlags")));
    return flags != nullptr ? flags() : 0;
}

uint64_t ViolationCount(const Torture& torture) {
    uint64_t total = 0;
    for (uint64_t count : torture.violations)
        total += count;
    return total;
}

static unsigned long long Load(const std::atomic<uint64_t>& value) {
    return static_cast<unsigned long long>(value.load());
}

// NOLINTNEXTLINE(cert-dcl50-cpp): a printf format, checked by the compiler.
void TortureReport(const char* format, ...) {
    char text[512];
    va_list arguments;
    va_start(arguments, format);
    const int length = std::vsnprintf(text, sizeof text, format, arguments);
    va_end(arguments);
    DWORD written = 0;
    if (length > 0)
        WriteFile(
            GetStdHandle(STD_OUTPUT_HANDLE), text,
            static_cast<DWORD>(length < static_cast<int>(sizeof text) ? length : sizeof text - 1),
            &written, nullptr);
}

void PrintSummary(const Torture& torture, const char* label, DWORD elapsedMs,
                  const ProcessCounts& before, const ProcessCounts& after) {
    const uint32_t heapFlags = HeapCheckFlags();
    TortureReport("== torture %s: %u s asked, %lu.%lu s taken, seed %u%s; %d instances, %d host "
                  "threads, %d box threads, a reader per instance, a plugger ==\n",
                  label, torture.settings.seconds, elapsedMs / 1000, elapsedMs % 1000 / 100,
                  torture.settings.seed, torture.settings.longMode ? ", long" : "", kTortureSlots,
                  kTortureDriverThreads, kTortureBoxThreads);
    TortureReport("heap checks: %s (global flags 0x%02X)\n",
                  (heapFlags & 0xF0) == 0xF0 ? "full" : "HeapValidate only", heapFlags);
    TortureReport("rounds %llu, instances created %llu, worker runs %llu, offers accepted %llu "
                  "refused %llu, connections %llu, key events %llu, boxes made %llu\n",
                  Load(torture.rounds), Load(torture.created), Load(torture.runs),
                  Load(torture.accepted), Load(torture.refused), Load(torture.connected),
                  Load(torture.events), Load(torture.boxesMade));
    TortureReport("from callbacks: stops %llu, destroys %llu, starts %llu, boxes %llu; blocked "
                  "callbacks %llu, workers given up %llu; settings checks %llu, unload cycles "
                  "%llu\n",
                  Load(torture.callbackStops), Load(torture.callbackDestroys),
                  Load(torture.callbackStarts), Load(torture.callbackBoxes), Load(torture.blocks),
                  Load(torture.givenUp), Load(torture.settingsChecks), Load(torture.unloadCycles));
    TortureReport("ends inside a callback with host threads waiting %llu (cue late %llu), stale "
                  "handles probed %llu\n",
                  Load(torture.ambushes), Load(torture.ambushesLate), Load(torture.staleProbes));
    TortureReport("calls (count, slowest ms):");
    for (int call = 0; call < kCallKinds; ++call)
        TortureReport("%s %s %llu %u", call % 4 == 0 ? "\n " : ",", kTortureCallNames[call],
                      Load(torture.calls[call].count), torture.calls[call].slowestMs.load());
    TortureReport("\nthreads %d -> %d, kernel handles %d -> %d, GDI objects %d -> %d\n",
                  before.threads, after.threads, before.kernelHandles, after.kernelHandles,
                  before.gdiObjects, after.gdiObjects);
    const uint64_t total = ViolationCount(torture);
    if (total == 0) {
        TortureReport("violations: none\n");
        return;
    }
    TortureReport("violations: %llu\n", static_cast<unsigned long long>(total));
    for (int kind = 0; kind < kViolationKinds; ++kind)
        if (torture.violations[kind] != 0)
            TortureReport("  %6llu  %s\n          first: %s\n",
                          static_cast<unsigned long long>(torture.violations[kind]),
                          kViolationNames[kind], torture.firstOfKind[kind]);
}

void PrintStuckCalls(const Torture& torture) {
    const char* phase = torture.phase.load();
    TortureReport("stuck while %s\n", phase != nullptr ? phase : "starting");
    const DWORD now = GetTickCount();
    for (const InFlightCall& entry : torture.inFlight) {
        const DWORD thread = entry.thread.load();
        if (thread == 0)
            continue;
        TortureReport("  in progress on thread %04lx: %s%s, slot %d, for %lu ms\n", thread,
                      kTortureCallNames[entry.call.load()],
                      entry.fromCallback.load() ? " from a callback" : "", entry.index.load(),
                      now - entry.start.load());
    }
    for (int i = 0; i < kTortureSlots; ++i) {
        const TortureSlot& slot = torture.slots[i];
        // Read without `books`: the report is made while calls may hang.
        TortureReport("  slot %d: in a callback %d, blocking long %d, calls in %d, ended %d, quiet "
                      "%d\n",
                      i, slot.inCallback.load(), slot.blockingThread.load() != 0 ? 1 : 0,
                      slot.holders, slot.ended ? 1 : 0, slot.quiet ? 1 : 0);
    }
    // Where each thread waits, in the DLL and the simulator, for a stuck run
    // that does not come again.
    const HMODULE modules[] = {torture.driver.module, GetModuleHandleA(nullptr)};
    TortureReport("threads, with the stack words that point into the DLL or the simulator:\n");
    PrintThreadStacks(TortureReport, modules, 2);
}
