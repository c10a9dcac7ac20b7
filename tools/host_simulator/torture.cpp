#include "tools/host_simulator/torture.h"

#include <atomic>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "driver/host_callback.h"
#include "driver/variant_profile.h"
#include "tools/host_simulator/config_box_view.h"
#include "tools/host_simulator/deliverable.h"
#include "tools/host_simulator/keypad_reports.h"
#include "tools/host_simulator/process_counts.h"
#include "tools/host_simulator/simulated_keypads.h"

static constexpr int kSlots = 3;          // instances driven at once
static constexpr int kDriverThreads = 3;  // host threads calling the instance exports
static constexpr int kBoxThreads = 2;     // host threads with windows, opening and closing boxes
static constexpr int kMaxExtraDevices = 6;
static constexpr DWORD kRoundPauseMs = 60;
// One in this many (times the instance's number) of the Stops drawn for
// instances other than 0 is made.
static constexpr uint32_t kCalmStopOdds = 40;
// A run stopped from inside its own callback ends once that callback returns
// and its pass is over: within about a detection pass, with room for a busy
// machine.
static constexpr DWORD kRunEndGraceMs = 5000;
// Beyond its time, a run this much longer is stuck: the rounds, Stops and
// Destroys still in hand wait 10 s each at the most.
static constexpr DWORD kStuckAfterMs = 60000;
// A started worker makes its first call at once; the room is for a busy
// machine.
static constexpr DWORD kRunBeginGraceMs = 5000;

enum TortureCall {
#define KOLMAR_TORTURE_CALL(name) kCall##name,
    KOLMAR_EXPORTS(KOLMAR_TORTURE_CALL)
#undef KOLMAR_TORTURE_CALL
        kCallKinds
};
static const char* const kCallNames[kCallKinds] = {
#define KOLMAR_TORTURE_NAME(name) #name,
    KOLMAR_EXPORTS(KOLMAR_TORTURE_NAME)
#undef KOLMAR_TORTURE_NAME
};

enum Violation {
    kOverlap,
    kWrongThread,
    kSecondWorker,
    kLateCallback,
    kStopWithRunOpen,
    kStartFailed,
    kStatusDisagrees,
    kRunNotEnded,
    kTwoBoxes,
    kBoxOutlivesDestroy,
    kBoxLeft,
    kHeapInvalid,
    kCountsChanged,
    kBadAnswer,
    kViolationKinds
};
static const char* const kViolationNames[kViolationKinds] = {
    "callbacks of one instance overlapped",
    "callback from a thread other than its run's",
    "second worker while a run was open (50 without 51)",
    "callback of a destroyed instance",
    "Stop or Destroy answered 0 with an earlier run still going",
    "Start answered -2000",
    "driver status and worker disagree",
    "run without its 51 at Destroy",
    "two boxes bound to one instance",
    "box still bound after Destroy",
    "box window left at the end",
    "heap corrupted (HeapValidate)",
    "threads, handles or GDI objects not back",
    "answer outside the documented set",
};

struct TortureRandom {
    uint64_t state;
};

static uint32_t RandomNext(TortureRandom* random) {
    // xorshift64*: enough spread for choosing calls.
    random->state ^= random->state >> 12;
    random->state ^= random->state << 25;
    random->state ^= random->state >> 27;
    return static_cast<uint32_t>((random->state * 0x2545F4914F6CDD1DULL) >> 32);
}

static uint32_t RandomBelow(TortureRandom* random, uint32_t bound) {
    return RandomNext(random) % bound;
}

static TortureRandom RandomFor(uint32_t salt) {
    return TortureRandom{(static_cast<uint64_t>(GetTickCount()) << 20) ^
                         (salt * 0x9E3779B97F4A7C15ULL) ^ GetCurrentThreadId() ^ 1};
}

// One instance slot. Any call with the handle holds `lock` shared; Destroy and
// Create hold it exclusive, as a host never calls with a handle while its
// Destroy runs.
struct TortureSlot {
    SRWLOCK lock;
    void* instance;  // under `lock`; null between a Destroy and the next Create
    // The instance's generation, carried in the user value: a callback of an
    // older one came after its Destroy.
    std::atomic<uint32_t> generation;

    // The run as the callbacks show it, under `track`.
    CRITICAL_SECTION track;
    bool runOpen;       // a 50 came and its 51 not yet
    DWORD runThread;    // the thread of the open run
    uint64_t runBegan;  // sequence number of its 50
    std::atomic<int32_t> inCallback;
    std::atomic<HANDLE> openDevice;  // the keypad the host accepted and reads, or null
    std::atomic<uint32_t> openProduct;
};

struct Torture {
    Deliverable driver;
    const VariantProfile* family;
    TortureSlot slots[kSlots];
    std::atomic<bool> running;
    std::atomic<uint64_t> sequence;  // orders callbacks against the host's own calls
    std::atomic<uint64_t> calls[kCallKinds];
    std::atomic<uint64_t> rounds, created, runs, accepted, refused, events, callbackStops;
    HWND hostWindows[kBoxThreads];  // written by each box thread before `boxesReady`
    HANDLE boxesReady[kBoxThreads];
    HANDLE boxesFinish;  // manual-reset: box threads check their windows and end

    CRITICAL_SECTION violationLock;
    uint64_t violations[kViolationKinds];
    std::string firstOfKind[kViolationKinds];  // the summary quotes the first of each kind
};

// The callback has only its user value; the run it belongs to is here.
static Torture* g_torture;

static void Violate(Torture* torture, Violation kind, const char* format, ...) {
    char text[256];
    va_list arguments;
    va_start(arguments, format);
    std::vsnprintf(text, sizeof text, format, arguments);
    va_end(arguments);
    EnterCriticalSection(&torture->violationLock);
    if (torture->violations[kind]++ == 0)
        torture->firstOfKind[kind] = text;
    LeaveCriticalSection(&torture->violationLock);
}

static void Count(Torture* torture, TortureCall call) {
    torture->calls[call].fetch_add(1, std::memory_order_relaxed);
}

static intptr_t UserValue(int slot, uint32_t generation) {
    return static_cast<intptr_t>(generation) << 4 | slot;
}

static bool RunOpen(TortureSlot* slot) {
    EnterCriticalSection(&slot->track);
    const bool open = slot->runOpen;
    LeaveCriticalSection(&slot->track);
    return open;
}

// Waits until the slot's run is open (or closed) as asked; false on timeout.
static bool WaitForRun(TortureSlot* slot, bool open, DWORD timeoutMs) {
    const DWORD start = GetTickCount();
    while (RunOpen(slot) != open) {
        if (GetTickCount() - start >= timeoutMs)
            return false;
        Sleep(10);
    }
    return true;
}

// Records one callback against its run; on the worker thread.
static void TrackCallback(Torture* torture, int index, int32_t code) {
    TortureSlot* slot = &torture->slots[index];
    const DWORD self = GetCurrentThreadId();
    EnterCriticalSection(&slot->track);
    const uint64_t now = torture->sequence.fetch_add(1) + 1;
    if (code == kHostWorkerBegins) {
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
    } else if (code == kHostWorkerEnds) {
        slot->runOpen = false;
    }
    LeaveCriticalSection(&slot->track);
}

// Now and then the host stops an instance from inside its callback; the
// worker ends once the callback returns. Only tried when no Destroy waits.
static void StopFromCallback(Torture* torture, TortureSlot* slot, uint32_t generation) {
    if (!TryAcquireSRWLockShared(&slot->lock))
        return;
    if (slot->instance != nullptr && slot->generation.load() == generation) {
        Count(torture, kCallStop);
        torture->driver.Stop(slot->instance);
        torture->callbackStops.fetch_add(1, std::memory_order_relaxed);
    }
    ReleaseSRWLockShared(&slot->lock);
}

static int32_t TortureCallback(intptr_t userValue, int32_t code, int32_t argument, void* pointer) {
    Torture* torture = g_torture;
    const int index = static_cast<int>(userValue & 0xF);
    const uint32_t generation = static_cast<uint32_t>(userValue >> 4);
    TortureSlot* slot = &torture->slots[index];
    if (slot->inCallback.fetch_add(1) != 0)
        Violate(torture, kOverlap, "instance %d: code %d while another callback runs", index, code);
    if (slot->generation.load() != generation)
        Violate(torture, kLateCallback, "instance %d: code %d after its Destroy answered 0", index,
                code);
    else
        TrackCallback(torture, index, code);

    // A cheap per-call choice: the sequence number mixed.
    TortureRandom random = {torture->sequence.load() * 0x9E3779B97F4A7C15ULL + code + 1};
    int32_t answer = 0;
    switch (code) {
        case kHostOfferKeypad:
            if (RandomBelow(&random, 2) == 0) {
                SimulatedDevice device;
                slot->openProduct.store(SimulatedDeviceFind(pointer, &device) ? device.productId
                                                                              : 0);
                slot->openDevice.store(pointer);
                torture->accepted.fetch_add(1, std::memory_order_relaxed);
                answer = 1;
            } else {
                torture->refused.fetch_add(1, std::memory_order_relaxed);
            }
            break;
        case kHostCloseKeypad:
            slot->openDevice.store(nullptr);
            break;
        case kHostFillStatus:
            for (int32_t i = 0; i < argument / 4; ++i)
                static_cast<int32_t*>(pointer)[i] = static_cast<int32_t>(random.state);
            break;
        case kHostMidiBytes:
        case kHostPadPressed:
        case kHostPadReleased:
        case kHostStopAllPads:
        case kHostStopAllPlists:
            torture->events.fetch_add(1, std::memory_order_relaxed);
            break;
    }
    if ((code == kHostConnected || code == kHostPadPressed) && RandomBelow(&random, 8) == 0)
        StopFromCallback(torture, slot, generation);
    slot->inCallback.fetch_sub(1);
    return answer;
}

// Stop from a host thread: answering 0, it must leave no run going that began
// before it was called.
static void CheckedStop(Torture* torture, int index) {
    TortureSlot* slot = &torture->slots[index];
    const uint64_t called = torture->sequence.fetch_add(1) + 1;
    Count(torture, kCallStop);
    const int32_t answer = torture->driver.Stop(slot->instance);
    if (answer != 0 && answer != 1)
        Violate(torture, kBadAnswer, "instance %d: Stop answered %d", index, answer);
    if (answer != 0)
        return;
    EnterCriticalSection(&slot->track);
    if (slot->runOpen && slot->runBegan < called)
        Violate(torture, kStopWithRunOpen,
                "instance %d: Stop answered 0, run on thread %lu goes on", index, slot->runThread);
    LeaveCriticalSection(&slot->track);
}

static void CheckedStart(Torture* torture, int index) {
    Count(torture, kCallStart);
    const int32_t answer = torture->driver.Start(torture->slots[index].instance);
    if (answer == QP240REMOTE_E_NO_THREAD)
        Violate(torture, kStartFailed, "instance %d: Start answered -2000", index);
    else if (answer != 0 && answer != 1)
        Violate(torture, kBadAnswer, "instance %d: Start answered %d", index, answer);
}

// Boxes of every host window bound to `instance` (slot 0 of the box's window
// holds the instance it works on).
static int BoxesBoundTo(Torture* torture, void* instance) {
    int bound = 0;
    for (HWND host : torture->hostWindows)
        for (HWND box = FindConfigBoxAfter(host, nullptr); box != nullptr;
             box = FindConfigBoxAfter(host, box))
            bound += reinterpret_cast<void*>(GetWindowLongPtrA(box, 0)) == instance;
    return bound;
}

static void ValidateHeaps(Torture* torture) {
    HANDLE heaps[64];
    const DWORD count = GetProcessHeaps(64, heaps);
    for (DWORD i = 0; i < count && i < 64; ++i)
        if (!HeapValidate(heaps[i], 0, nullptr))
            Violate(torture, kHeapInvalid, "heap %p fails HeapValidate", heaps[i]);
}

// Under the slot's exclusive lock.
static void CreateInstance(Torture* torture, int index) {
    TortureSlot* slot = &torture->slots[index];
    const uint32_t generation = slot->generation.load() + 1;
    slot->generation.store(generation);
    Count(torture, kCallCreate);
    slot->instance = torture->driver.Create(TortureCallback, UserValue(index, generation));
    if (slot->instance == nullptr)
        Violate(torture, kBadAnswer, "instance %d: Create answered null", index);
    else
        torture->created.fetch_add(1, std::memory_order_relaxed);
}

// Under the slot's exclusive lock.
static void DestroyInstance(Torture* torture, int index) {
    TortureSlot* slot = &torture->slots[index];
    void* instance = slot->instance;
    Count(torture, kCallDestroy);
    const int32_t answer = torture->driver.Destroy(instance);
    slot->instance = nullptr;
    // From here on every callback of the old instance is a late one.
    slot->generation.fetch_add(1);
    if (answer != 0)
        Violate(torture, kBadAnswer, "instance %d: Destroy answered %d", index, answer);
    EnterCriticalSection(&slot->track);
    if (slot->runOpen)
        Violate(torture, kRunNotEnded, "instance %d: Destroy answered 0, run on thread %lu goes on",
                index, slot->runThread);
    slot->runOpen = false;
    LeaveCriticalSection(&slot->track);
    slot->openDevice.store(nullptr);
    if (BoxesBoundTo(torture, instance) != 0)
        Violate(torture, kBoxOutlivesDestroy, "instance %d: a box is bound after Destroy", index);
}

// A round on one instance, with no other call on it in flight: the status and
// the worker agree, at most one box is bound, the heaps are whole; now and
// then the instance is destroyed and made anew.
static void Round(Torture* torture, int index, TortureRandom* random) {
    TortureSlot* slot = &torture->slots[index];
    AcquireSRWLockExclusive(&slot->lock);
    torture->rounds.fetch_add(1, std::memory_order_relaxed);
    if (slot->instance == nullptr) {
        CreateInstance(torture, index);
    } else {
        Count(torture, kCallGetDriverStatus);
        const int32_t status = torture->driver.GetDriverStatus(slot->instance);
        if (status == 0 && !WaitForRun(slot, false, kRunEndGraceMs))
            Violate(torture, kStatusDisagrees, "instance %d: status 0 while a worker runs", index);
        if (status != 0 && !WaitForRun(slot, true, kRunBeginGraceMs))
            Violate(torture, kStatusDisagrees, "instance %d: status %d and no worker", index,
                    status);
        if (BoxesBoundTo(torture, slot->instance) > 1)
            Violate(torture, kTwoBoxes, "instance %d: %d boxes bound", index,
                    BoxesBoundTo(torture, slot->instance));
        if (RandomBelow(random, 3) == 0) {
            DestroyInstance(torture, index);
            CreateInstance(torture, index);
        }
    }
    ValidateHeaps(torture);
    ReleaseSRWLockExclusive(&slot->lock);
}

static void SendStatusBlock(Torture* torture, void* instance, TortureRandom* random) {
    int32_t block[QP240REMOTE_HOST_STATUS_SIZE / 4 + 1];
    for (int32_t& word : block)
        word = static_cast<int32_t>(RandomNext(random));
    // Mostly whole blocks; sometimes a size the driver must ignore.
    const int32_t size = RandomBelow(random, 8) == 0 ? QP240REMOTE_HOST_STATUS_SIZE + 1
                                                     : QP240REMOTE_HOST_STATUS_SIZE;
    Count(torture, kCallSetGetInformations);
    const int32_t answer =
        torture->driver.SetGetInformations(instance, QP240REMOTE_INFO_HOST_STATUS, block, size);
    if (answer != 0)
        Violate(torture, kBadAnswer, "id 56 answered %d", answer);
}

// One random call of an instance export (or a library one) from a host thread.
static void InstanceCall(Torture* torture, int index, TortureRandom* random) {
    void* instance = torture->slots[index].instance;
    const Deliverable& driver = torture->driver;
    int32_t context[3] = {};
    switch (RandomBelow(random, 12)) {
        case 0:
        case 1:
        case 2:
            CheckedStart(torture, index);
            break;
        case 3:
        case 4:
            // Instance 0 is stopped all the time; the others rarely enough
            // that their workers find, connect and poll keypads.
            if (index == 0 || RandomBelow(random, kCalmStopOdds * index) == 0)
                CheckedStop(torture, index);
            break;
        case 5:
            Count(torture, kCallGetDriverStatus);
            driver.GetDriverStatus(instance);
            break;
        case 6:
            Count(torture, kCallGetContext);
            Count(torture, kCallGetContextSize);
            if (driver.GetContext(instance, context) != 0 || driver.GetContextSize(instance) != 12)
                Violate(torture, kBadAnswer, "instance %d: context calls failed", index);
            break;
        case 7:
            context[0] = static_cast<int32_t>(RandomBelow(random, 2));
            context[1] = static_cast<int32_t>(RandomBelow(random, 16));
            Count(torture, kCallSetContext);
            driver.SetContext(instance, context, sizeof context);
            break;
        case 8:
            Count(torture, kCallResetContext);
            driver.ResetContext(instance, static_cast<int32_t>(RandomBelow(random, 2)));
            break;
        case 9:
        case 10:
            SendStatusBlock(torture, instance, random);
            break;
        default: {
            char architecture[43];
            Count(torture, kCallGetPlugInformation);
            Count(torture, kCallGetLastErrorString);
            if (driver.GetPlugInformation(0, architecture) != 0 ||
                driver.GetLastErrorString() == nullptr)
                Violate(torture, kBadAnswer, "library calls failed");
            break;
        }
    }
}

static DWORD WINAPI DriverThread(LPVOID argument) {
    Torture* torture = g_torture;
    TortureRandom random = RandomFor(static_cast<uint32_t>(reinterpret_cast<uintptr_t>(argument)));
    while (torture->running.load()) {
        const int index = static_cast<int>(RandomBelow(&random, kSlots));
        TortureSlot* slot = &torture->slots[index];
        AcquireSRWLockShared(&slot->lock);
        if (slot->instance != nullptr)
            InstanceCall(torture, index, &random);
        ReleaseSRWLockShared(&slot->lock);
        Sleep(RandomBelow(&random, 6));
    }
    return 0;
}

// Takes rounds on the instances in turn.
static DWORD WINAPI RoundThread(LPVOID) {
    Torture* torture = g_torture;
    TortureRandom random = RandomFor(101);
    for (int index = 0; torture->running.load(); index = (index + 1) % kSlots) {
        Round(torture, index, &random);
        Sleep(kRoundPauseMs);
    }
    return 0;
}

// The host's reading thread: reports of every open keypad with random keys.
static DWORD WINAPI ReaderThread(LPVOID) {
    Torture* torture = g_torture;
    TortureRandom random = RandomFor(202);
    uint8_t keys[kMaxKeypadKeys];
    uint8_t report[1024];
    uint8_t record[kRawInputRecordRoom];
    while (torture->running.load()) {
        for (int index = 0; index < kSlots; ++index) {
            TortureSlot* slot = &torture->slots[index];
            const HANDLE device = slot->openDevice.load();
            const KeypadModel* model = FindKeypadModel(slot->openProduct.load());
            if (device == nullptr || model == nullptr)
                continue;
            for (uint8_t& key : keys)
                key = RandomBelow(&random, 4) == 0;
            const uint32_t length = BuildKeypadReport(*model, keys, report);
            WrapRawInputRecord(device, report, length, length, record, sizeof record);
            AcquireSRWLockShared(&slot->lock);
            if (slot->instance != nullptr) {
                Count(torture, kCallSetGetInformations);
                const int32_t answer = torture->driver.SetGetInformations(
                    slot->instance, QP240REMOTE_INFO_INPUT_REPORT, record, 0);
                if (answer != 0 && answer != QP240REMOTE_E_NOT_CONNECTED &&
                    answer != QP240REMOTE_E_OTHER_DEVICE)
                    Violate(torture, kBadAnswer, "instance %d: id 55 answered %d", index, answer);
            }
            ReleaseSRWLockShared(&slot->lock);
        }
        Sleep(2 + RandomBelow(&random, 5));
    }
    return 0;
}

// Keypads of the family and decoys come and go beside the one that stays.
static DWORD WINAPI PlugThread(LPVOID) {
    Torture* torture = g_torture;
    TortureRandom random = RandomFor(303);
    HANDLE plugged[kMaxExtraDevices] = {};
    while (torture->running.load()) {
        const int place = static_cast<int>(RandomBelow(&random, kMaxExtraDevices));
        if (plugged[place] != nullptr) {
            SimulatedDeviceUnplug(plugged[place]);
            plugged[place] = nullptr;
        } else {
            const uint16_t product = torture->family->productIds[RandomBelow(&random, 2)];
            plugged[place] = SimulatedDevicePlug(
                RandomBelow(&random, 2) == 0 ? KeypadDevice(product) : DecoyWrongUsage(product));
        }
        Sleep(100 + RandomBelow(&random, 300));
    }
    for (HANDLE device : plugged)
        if (device != nullptr)
            SimulatedDeviceUnplug(device);
    return 0;
}

// Takes an instance's lock shared without ever blocking this thread's
// messages: another box thread's open may be moving a box of this one.
static bool TakeSlotPumping(TortureSlot* slot) {
    for (int attempt = 0; attempt < 50; ++attempt) {
        if (TryAcquireSRWLockShared(&slot->lock))
            return true;
        PumpHostMessages();
        Sleep(1);
    }
    return false;
}

// A host thread with a window of its own: opens, moves, clicks and closes the
// boxes of random instances in it and pumps its messages. At the end it
// checks that no box is left in its window, then destroys the window.
static DWORD WINAPI BoxThread(LPVOID argument) {
    Torture* torture = g_torture;
    const int which = static_cast<int>(reinterpret_cast<uintptr_t>(argument));
    TortureRandom random = RandomFor(404 + which);
    HWND host = CreateSimulatedHostWindow(600, 300);
    torture->hostWindows[which] = host;
    SetEvent(torture->boxesReady[which]);

    while (WaitForSingleObject(torture->boxesFinish, 0) == WAIT_TIMEOUT) {
        PumpHostMessages();
        Sleep(1 + RandomBelow(&random, 3));
        const int index = static_cast<int>(RandomBelow(&random, kSlots));
        TortureSlot* slot = &torture->slots[index];
        if (!torture->running.load() || !TakeSlotPumping(slot))
            continue;
        if (slot->instance != nullptr) {
            const uint32_t action = RandomBelow(&random, 4);
            if (action < 2) {
                Count(torture, kCallOpenConfigBox);
                const int32_t answer = torture->driver.OpenConfigBox(
                    slot->instance, host,
                    kHostMargin + static_cast<int32_t>(RandomBelow(&random, 9)), kHostMargin, 600,
                    300);
                if (answer != 0 && answer != 1)
                    Violate(torture, kBadAnswer, "OpenConfigBox answered %d", answer);
            } else if (action == 2) {
                Count(torture, kCallCloseConfigBox);
                const int32_t answer = torture->driver.CloseConfigBox(slot->instance);
                if (answer != 0 && answer != 1)
                    Violate(torture, kBadAnswer, "CloseConfigBox answered %d", answer);
            } else if (HWND box = FindConfigBoxAfter(host, nullptr)) {
                ClickConfigField(box, static_cast<int>(RandomBelow(&random, 2)));
            }
        }
        ReleaseSRWLockShared(&slot->lock);
    }
    // Boxes closed from other threads close here, with their posted messages.
    const DWORD settle = GetTickCount();
    while (GetTickCount() - settle < 200) {
        PumpHostMessages();
        Sleep(5);
    }
    if (FindConfigBoxAfter(host, nullptr) != nullptr)
        Violate(torture, kBoxLeft, "box window %d left in its host window after every Destroy",
                which);
    DestroyWindow(host);
    PumpHostMessages();
    return 0;
}

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

static void PrintSummary(const Torture& torture, const char* label, uint32_t seconds,
                         DWORD elapsedMs, const ProcessCounts& before, const ProcessCounts& after) {
    std::printf("== torture %s: %u s asked, %.1f s taken; %d instances, %d host threads, "
                "%d box threads, a reader, a plugger ==\n",
                label, seconds, elapsedMs / 1000.0, kSlots, kDriverThreads, kBoxThreads);
    std::printf("rounds %llu, instances created %llu, worker runs %llu, offers accepted %llu "
                "refused %llu, key events %llu, stops from callbacks %llu\n",
                static_cast<unsigned long long>(torture.rounds.load()),
                static_cast<unsigned long long>(torture.created.load()),
                static_cast<unsigned long long>(torture.runs.load()),
                static_cast<unsigned long long>(torture.accepted.load()),
                static_cast<unsigned long long>(torture.refused.load()),
                static_cast<unsigned long long>(torture.events.load()),
                static_cast<unsigned long long>(torture.callbackStops.load()));
    std::printf("calls:");
    for (int call = 0; call < kCallKinds; ++call)
        std::printf("%s %s %llu", call % 4 == 0 ? "\n " : ",", kCallNames[call],
                    static_cast<unsigned long long>(torture.calls[call].load()));
    std::printf("\nthreads %d -> %d, kernel handles %d -> %d, GDI objects %d -> %d\n",
                before.threads, after.threads, before.kernelHandles, after.kernelHandles,
                before.gdiObjects, after.gdiObjects);
    uint64_t total = 0;
    for (uint64_t count : torture.violations)
        total += count;
    if (total == 0) {
        std::printf("violations: none\n");
        return;
    }
    std::printf("violations: %llu\n", static_cast<unsigned long long>(total));
    for (int kind = 0; kind < kViolationKinds; ++kind)
        if (torture.violations[kind] != 0)
            std::printf("  %6llu  %s\n          first: %s\n",
                        static_cast<unsigned long long>(torture.violations[kind]),
                        kViolationNames[kind], torture.firstOfKind[kind].c_str());
}

// A run that does not end is reported, with what it did so far, instead of
// waiting for an outer timeout that would show nothing.
struct Watchdog {
    HANDLE done;  // manual-reset: the run ended
    DWORD limitMs;
    const char* label;
    uint32_t seconds;
    DWORD start;
};

static DWORD WINAPI WatchRun(LPVOID argument) {
    const Watchdog* watchdog = static_cast<const Watchdog*>(argument);
    if (WaitForSingleObject(watchdog->done, watchdog->limitMs) == WAIT_OBJECT_0)
        return 0;
    const ProcessCounts none = {};
    EnterCriticalSection(&g_torture->violationLock);
    PrintSummary(*g_torture, watchdog->label, watchdog->seconds, GetTickCount() - watchdog->start,
                 none, none);
    LeaveCriticalSection(&g_torture->violationLock);
    std::printf("torture: stuck: %s did not end within %lu ms after its time\n", watchdog->label,
                watchdog->limitMs - watchdog->seconds * 1000);
    std::fflush(stdout);
    ExitProcess(4);
}

// One unmeasured cycle of everything the run does, so that what the process
// makes once (a thread's message queue, the system's fonts and classes) is in
// place before the counts are taken.
static void WarmUp(const Deliverable& driver) {
    HWND host = CreateSimulatedHostWindow(600, 300);
    driver.Init(driver.module);
    if (void* instance = driver.Create(TortureCallback, UserValue(0, 0))) {
        driver.OpenConfigBox(instance, host, kHostMargin, kHostMargin, 600, 300);
        PumpHostMessages();
        driver.Destroy(instance);
    }
    driver.End();
    DestroyWindow(host);
    PumpHostMessages();
}

// One deliverable for `seconds`; true when nothing was found.
static bool TortureDeliverable(const char* path, uint32_t seconds) {
    Torture* torture = new Torture{};
    char error[512];
    if (!DeliverableLoad(&torture->driver, path, error, sizeof error)) {
        std::fprintf(stderr, "host_simulator: %s\n", error);
        delete torture;
        return false;
    }
    torture->family = DeliverableFamily(torture->driver);
    if (torture->family == nullptr)
        torture->family = &kProfile32Keys;
    g_torture = torture;
    InitializeCriticalSection(&torture->violationLock);
    for (TortureSlot& slot : torture->slots) {
        InitializeSRWLock(&slot.lock);
        InitializeCriticalSection(&slot.track);
    }
    const HANDLE keypad = SimulatedDevicePlug(KeypadDevice(torture->family->productIds[0]));
    const HANDLE decoy = SimulatedDevicePlug(DecoyOtherVendor(torture->family->productIds[0]));
    WarmUp(torture->driver);
    const ProcessCounts before = TortureCounts();
    const DWORD start = GetTickCount();
    const char* label = PathFileName(path);
    Watchdog watchdog = {CreateEventA(nullptr, TRUE, FALSE, nullptr),
                         seconds * 1000 + kStuckAfterMs, label, seconds, start};
    const HANDLE watcher = CreateThread(nullptr, 0, WatchRun, &watchdog, 0, nullptr);

    Count(torture, kCallInit);
    if (torture->driver.Init(torture->driver.module) != 0)
        Violate(torture, kBadAnswer, "Init failed");
    torture->running.store(true);
    torture->boxesFinish = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    std::vector<HANDLE> boxThreads;
    for (int i = 0; i < kBoxThreads; ++i) {
        torture->boxesReady[i] = CreateEventA(nullptr, TRUE, FALSE, nullptr);
        boxThreads.push_back(StartThread(BoxThread, static_cast<uintptr_t>(i)));
        WaitForSingleObject(torture->boxesReady[i], INFINITE);
    }
    std::vector<HANDLE> threads;
    for (int i = 0; i < kDriverThreads; ++i)
        threads.push_back(StartThread(DriverThread, static_cast<uintptr_t>(i)));
    threads.push_back(StartThread(RoundThread, 0));
    threads.push_back(StartThread(ReaderThread, 0));
    threads.push_back(StartThread(PlugThread, 0));

    Sleep(seconds * 1000);
    torture->running.store(false);
    JoinThreads(&threads);
    for (int index = 0; index < kSlots; ++index) {
        AcquireSRWLockExclusive(&torture->slots[index].lock);
        if (torture->slots[index].instance != nullptr)
            DestroyInstance(torture, index);
        ReleaseSRWLockExclusive(&torture->slots[index].lock);
    }
    SetEvent(torture->boxesFinish);
    JoinThreads(&boxThreads);
    Count(torture, kCallEnd);
    torture->driver.End();
    ValidateHeaps(torture);
    for (HANDLE event : torture->boxesReady)
        CloseHandle(event);
    CloseHandle(torture->boxesFinish);

    SetEvent(watchdog.done);
    WaitForSingleObject(watcher, INFINITE);
    CloseHandle(watcher);
    CloseHandle(watchdog.done);
    const ProcessCounts after = SettledCounts(before);
    if (after.threads != before.threads || after.kernelHandles != before.kernelHandles ||
        after.gdiObjects != before.gdiObjects)
        Violate(torture, kCountsChanged, "threads %d -> %d, handles %d -> %d, GDI %d -> %d",
                before.threads, after.threads, before.kernelHandles, after.kernelHandles,
                before.gdiObjects, after.gdiObjects);
    PrintSummary(*torture, label, seconds, GetTickCount() - start, before, after);
    std::fflush(stdout);

    uint64_t total = 0;
    for (uint64_t count : torture->violations)
        total += count;
    SimulatedDeviceUnplug(decoy);
    SimulatedDeviceUnplug(keypad);
    for (TortureSlot& slot : torture->slots)
        DeleteCriticalSection(&slot.track);
    DeleteCriticalSection(&torture->violationLock);
    g_torture = nullptr;
    DeliverableUnload(&torture->driver);
    delete torture;
    return total == 0;
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

int TortureRun(uint32_t seconds, std::vector<std::string> dlls) {
    SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX);
    SetUnhandledExceptionFilter(ReportCrash);
    char error[256];
    if (!SimulatedKeypadsInstall(error, sizeof error)) {
        std::fprintf(stderr, "host_simulator: %s\n", error);
        return 1;
    }
    if (dlls.empty()) {
        for (const VariantProfile* family : kFamilies)
            dlls.push_back(DeliverablePath(*family));
    }
    bool clean = true;
    for (size_t i = 0; i < dlls.size(); ++i) {
        if (i > 0)
            std::printf("\n");
        clean = TortureDeliverable(dlls[i].c_str(), seconds) && clean;
    }
    return clean ? 0 : 1;
}
