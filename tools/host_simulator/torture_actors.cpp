#include "tools/host_simulator/torture_actors.h"

#include <cstring>

#include "driver/variant_profile.h"
#include "tools/host_simulator/config_box_view.h"
#include "tools/host_simulator/keypad_reports.h"
#include "tools/host_simulator/simulated_keypads.h"
#include "tools/host_simulator/stored_settings.h"
#include "tools/host_simulator/torture_checks.h"

Torture* g_torture;

static constexpr int kMaxExtraDevices = 6;
static constexpr DWORD kRoundPauseMs = 60;
// The last instance is destroyed and stopped rarely and accepts every offer,
// so that its worker keeps a keypad long enough for key events in a short run.
static constexpr int kCalmSlot = kTortureSlots - 1;
// One round in this many checks two Destroys at once.
static constexpr uint32_t kSettingsCheckEvery = 8;
// One in this many (times the instance's number) of the Stops drawn for
// instances other than 0 is made, so that their workers find, connect and poll.
static constexpr uint32_t kCalmStopOdds = 40;
// Short blocks of a callback: the host takes a while over an event.
static constexpr uint32_t kShortBlockMaxMs = 300;
// A long block outlasts Stop's 10 s wait with room to spare; one at a time.
static constexpr DWORD kLongBlockMs = 12500;
static std::atomic<bool> g_longBlockActive;

// What a box of this size shows: the pictures' size.
static constexpr int32_t kBoxWidth = 600;
static constexpr int32_t kBoxHeight = 300;

// --- the callback ---------------------------------------------------------

// The callback's calls of its own instance. The host never calls with a handle
// while its Destroy runs, so each takes the slot's lock, without waiting: a
// Destroy may hold it and wait for this very worker.
static void StopFromCallback(Torture* torture, int index) {
    TortureSlot* slot = &torture->slots[index];
    if (!TryAcquireSRWLockShared(&slot->lock))
        return;
    if (slot->instance != nullptr) {
        const int32_t answer =
            TimedHandleCall(torture, kCallStop, index, true, torture->driver.Stop, slot->instance);
        CheckAnswer(torture, kCallStop, index, answer, {QP240REMOTE_OK, QP240REMOTE_ALREADY});
        torture->callbackStops.fetch_add(1, std::memory_order_relaxed);
    }
    ReleaseSRWLockShared(&slot->lock);
}

static void StartFromCallback(Torture* torture, int index) {
    TortureSlot* slot = &torture->slots[index];
    if (!TryAcquireSRWLockShared(&slot->lock))
        return;
    if (slot->instance != nullptr) {
        const int32_t answer = TimedHandleCall(torture, kCallStart, index, true,
                                               torture->driver.Start, slot->instance);
        // Running, the instance is started; ending, its own worker's Start
        // cannot wait for itself. A second worker would answer 0.
        CheckAnswer(torture, kCallStart, index, answer,
                    {QP240REMOTE_ALREADY, QP240REMOTE_E_NO_THREAD});
        if (answer == QP240REMOTE_E_NO_THREAD) {
            EnterCriticalSection(&slot->track);
            slot->startFailed = true;
            LeaveCriticalSection(&slot->track);
        }
        torture->callbackStarts.fetch_add(1, std::memory_order_relaxed);
    }
    ReleaseSRWLockShared(&slot->lock);
}

static void DestroyFromCallback(Torture* torture, int index) {
    TortureSlot* slot = &torture->slots[index];
    if (!TryAcquireSRWLockShared(&torture->settingsGate))
        return;
    if (TryAcquireSRWLockExclusive(&slot->lock)) {
        if (slot->instance != nullptr) {
            TortureDestroyInstance(torture, index, true, true);
            torture->callbackDestroys.fetch_add(1, std::memory_order_relaxed);
        }
        ReleaseSRWLockExclusive(&slot->lock);
    }
    ReleaseSRWLockShared(&torture->settingsGate);
}

// The box opened on the worker's own thread, in a box thread's host window,
// and closed again before the callback returns: the worker pumps no messages.
static void BoxFromCallback(Torture* torture, int index) {
    TortureSlot* slot = &torture->slots[index];
    HWND host = torture->hostWindows[index % kTortureBoxThreads];
    if (host == nullptr || !TryAcquireSRWLockShared(&slot->lock))
        return;
    if (slot->instance != nullptr) {
        const CallTimer timer = TimerBegin(torture, kCallOpenConfigBox, index, true);
        const int32_t opened = torture->driver.OpenConfigBox(slot->instance, host, kHostMargin,
                                                             kHostMargin, kBoxWidth, kBoxHeight);
        TimerEnd(torture, timer);
        CheckAnswer(torture, kCallOpenConfigBox, index, opened,
                    {QP240REMOTE_OK, QP240REMOTE_ALREADY});
        const int32_t closed = TimedHandleCall(torture, kCallCloseConfigBox, index, true,
                                               torture->driver.CloseConfigBox, slot->instance);
        CheckAnswer(torture, kCallCloseConfigBox, index, closed,
                    {QP240REMOTE_OK, QP240REMOTE_ALREADY});
        torture->callbackBoxes.fetch_add(1, std::memory_order_relaxed);
    }
    ReleaseSRWLockShared(&slot->lock);
}

// A block longer than Stop's wait: the Stops and Destroys made meanwhile give
// the worker up. It is the callback's last act, and it no longer counts as in
// a callback: once given up, the slot's next instance may call back while this
// one still blocks.
static void BlockBeyondStop(Torture* torture, TortureSlot* slot) {
    slot->blockedMs.fetch_add(kLongBlockMs);
    slot->blockingLong.store(true);
    slot->inCallback.fetch_sub(1);
    torture->blocks.fetch_add(1, std::memory_order_relaxed);
    Sleep(kLongBlockMs);
    slot->blockingLong.store(false);
    EnterCriticalSection(&slot->track);
    if (slot->givenUpThread == GetCurrentThreadId())
        slot->givenUpLeftAt = GetTickCount();
    LeaveCriticalSection(&slot->track);
    g_longBlockActive.store(false);
}

// Now and then the host answers an event by calling the driver back, or takes
// its time over it.
static bool ActFromCallback(Torture* torture, int index, TortureRandom* random) {
    TortureSlot* slot = &torture->slots[index];
    const uint32_t roll = RandomBelow(random, 100);
    if (roll < 5) {
        StopFromCallback(torture, index);
    } else if (roll < 7) {
        StartFromCallback(torture, index);
    } else if (roll < 8) {
        DestroyFromCallback(torture, index);
    } else if (roll < 10) {
        BoxFromCallback(torture, index);
    } else if (roll < 12) {
        const uint32_t ms = 10 + RandomBelow(random, kShortBlockMaxMs);
        slot->blockedMs.fetch_add(ms);
        torture->blocks.fetch_add(1, std::memory_order_relaxed);
        Sleep(ms);
    } else if (roll == 12 && torture->settings.longMode && RandomBelow(random, 2) == 0) {
        bool idle = false;
        if (g_longBlockActive.compare_exchange_strong(idle, true)) {
            BlockBeyondStop(torture, slot);
            return true;
        }
    }
    return false;
}

int32_t TortureCallback(intptr_t userValue, int32_t code, int32_t argument, void* pointer) {
    Torture* torture = g_torture;
    const int index = static_cast<int>(userValue & 0xF);
    const uint32_t generation = static_cast<uint32_t>(userValue >> 4);
    TortureSlot* slot = &torture->slots[index];
    const DWORD began = GetTickCount();
    if (slot->inCallback.fetch_add(1) != 0)
        Violate(torture, kOverlap, "instance %d: code %d while another callback runs", index, code);
    const bool current = TrackCallback(torture, index, generation, code);

    TortureRandom* random = &slot->callbackRandom;
    int32_t answer = 0;
    switch (code) {
        case QP240REMOTE_CODE_OFFER_KEYPAD:
            // The calm instance takes every keypad it is offered.
            if (RandomBelow(random, 2) == 0 || index == kCalmSlot) {
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
        case QP240REMOTE_CODE_CONNECTED:
            torture->connected.fetch_add(1, std::memory_order_relaxed);
            break;
        case QP240REMOTE_CODE_CLOSE_KEYPAD:
            slot->openDevice.store(nullptr);
            break;
        case QP240REMOTE_CODE_FILL_STATUS:
            for (int32_t i = 0; i < argument / 4; ++i)
                static_cast<int32_t*>(pointer)[i] = static_cast<int32_t>(RandomNext(random));
            break;
        case QP240REMOTE_CODE_MIDI_BYTES:
        case QP240REMOTE_CODE_PAD_PRESSED:
        case QP240REMOTE_CODE_PAD_RELEASED:
        case QP240REMOTE_CODE_STOP_ALL_PADS:
        case QP240REMOTE_CODE_STOP_ALL_PLISTS:
            torture->events.fetch_add(1, std::memory_order_relaxed);
            break;
    }
    // Key events come many to a connection: only one in ten of them acts, so
    // that a connection lasts long enough to deliver some.
    const bool event = code == QP240REMOTE_CODE_PAD_PRESSED || code == QP240REMOTE_CODE_MIDI_BYTES;
    const bool acts = code == QP240REMOTE_CODE_CONNECTED || code == QP240REMOTE_CODE_NO_KEYPAD ||
                      (event && RandomBelow(random, 10) == 0);
    if (current && acts && ActFromCallback(torture, index, random))
        return answer;
    // What a callback took beyond a moment, the Stops waiting for its worker
    // are allowed on top of their own wait.
    const DWORD took = GetTickCount() - began;
    if (took > 2)
        slot->blockedMs.fetch_add(took);
    slot->inCallback.fetch_sub(1);
    return answer;
}

// --- instance calls from host threads ----------------------------------------

// The reading thread's hold on the instance, which never waits. Sequentially
// consistent, all four: the reader's count-in before its look at the bar and
// the barrer's bar before its look at the count, so that one of them sees the
// other.
static bool ReaderEnters(TortureSlot* slot) {
    slot->readersIn.fetch_add(1);
    if (!slot->readersBarred.load())
        return true;
    slot->readersIn.fetch_sub(1);
    return false;
}

static void ReaderLeaves(TortureSlot* slot) {
    slot->readersIn.fetch_sub(1);
}

// Under the slot's exclusive lock: no reader is in while the instance changes.
static void BarReaders(TortureSlot* slot) {
    slot->readersBarred.store(true);
    while (slot->readersIn.load() != 0)
        SwitchToThread();
}

static void AdmitReaders(TortureSlot* slot) {
    slot->readersBarred.store(false);
}

void TortureCreateInstance(Torture* torture, int index) {
    TortureSlot* slot = &torture->slots[index];
    const uint32_t generation = slot->generation.load() + 1;
    slot->generation.store(generation);
    slot->callbackRandom = RandomFor(torture->settings.seed, 1000 + index * 7919 + generation);
    const CallTimer timer = TimerBegin(torture, kCallCreate, index, false);
    void* instance = torture->driver.Create(TortureCallback, TortureUserValue(index, generation));
    TimerEnd(torture, timer);
    BarReaders(slot);
    slot->instance = instance;
    AdmitReaders(slot);
    if (slot->instance == nullptr)
        Violate(torture, kBadAnswer, "instance %d: Create answered null", index);
    else
        torture->created.fetch_add(1, std::memory_order_relaxed);
}

void TortureDestroyInstance(Torture* torture, int index, bool gated, bool fromCallback) {
    TortureSlot* slot = &torture->slots[index];
    void* instance = slot->instance;
    if (!gated)
        AcquireSRWLockShared(&torture->settingsGate);
    const bool inCallback = fromCallback;
    BarReaders(slot);
    const uint64_t calledAt = torture->sequence.fetch_add(1) + 1;
    const int32_t answer = TimedHandleCall(torture, kCallDestroy, index, inCallback,
                                           torture->driver.Destroy, instance);
    if (!gated)
        ReleaseSRWLockShared(&torture->settingsGate);
    slot->instance = nullptr;
    AdmitReaders(slot);
    // From here on every callback of the old instance is a late one.
    slot->generation.fetch_add(1);
    CheckAnswer(torture, kCallDestroy, index, answer, {QP240REMOTE_OK});
    if (slot->blockingLong.load())
        NoteGiveUp(torture, index);
    else if (!inCallback)
        CheckRunEnded(torture, index, calledAt, "Destroy");
    EnterCriticalSection(&slot->track);
    slot->runOpen = false;
    slot->startFailed = false;
    LeaveCriticalSection(&slot->track);
    slot->openDevice.store(nullptr);
    if (BoxesBoundTo(torture, instance) != 0)
        Violate(torture, kBoxOutlivesDestroy, "instance %d: a box is bound after Destroy", index);
}

// Stop from a host thread: whatever it answers, no run that began before it
// goes on, but for one it gave up on.
static void CheckedStop(Torture* torture, int index) {
    TortureSlot* slot = &torture->slots[index];
    const uint64_t calledAt = torture->sequence.fetch_add(1) + 1;
    const int32_t answer =
        TimedHandleCall(torture, kCallStop, index, false, torture->driver.Stop, slot->instance);
    CheckAnswer(torture, kCallStop, index, answer, {QP240REMOTE_OK, QP240REMOTE_ALREADY});
    if (slot->blockingLong.load())
        NoteGiveUp(torture, index);
    else
        CheckRunEnded(torture, index, calledAt, answer == QP240REMOTE_OK ? "Stop (0)" : "Stop (1)");
    if (answer == QP240REMOTE_OK) {
        EnterCriticalSection(&slot->track);
        slot->startFailed = false;
        LeaveCriticalSection(&slot->track);
    }
}

// -2000 only beside a worker still alive that the Start may not wait for: one
// given up on, or one whose callback blocks beyond the wait.
static void CheckedStart(Torture* torture, int index) {
    TortureSlot* slot = &torture->slots[index];
    const bool blocked = slot->blockingLong.load();
    const int32_t answer =
        TimedHandleCall(torture, kCallStart, index, false, torture->driver.Start, slot->instance);
    if (answer == QP240REMOTE_E_NO_THREAD) {
        EnterCriticalSection(&slot->track);
        slot->startFailed = true;
        LeaveCriticalSection(&slot->track);
    }
    if (blocked || GivenUpWorkerMayLive(torture, index) || slot->blockingLong.load())
        CheckAnswer(torture, kCallStart, index, answer,
                    {QP240REMOTE_OK, QP240REMOTE_ALREADY, QP240REMOTE_E_NO_THREAD});
    else
        CheckAnswer(torture, kCallStart, index, answer, {QP240REMOTE_OK, QP240REMOTE_ALREADY});
}

static void CheckedSetContext(Torture* torture, int index, TortureRandom* random) {
    void* instance = torture->slots[index].instance;
    const QP240REMOTE_Context context = {static_cast<int32_t>(RandomBelow(random, 2)),
                                         static_cast<int32_t>(RandomBelow(random, 16)), 0};
    // Mostly a whole record; now and then one the driver must refuse.
    const uint32_t form = RandomBelow(random, 8);
    const void* in = form == 0 ? nullptr : &context;
    const int32_t size = form == 1 ? QP240REMOTE_CONTEXT_SIZE + 1 : QP240REMOTE_CONTEXT_SIZE;
    const CallTimer timer = TimerBegin(torture, kCallSetContext, index, false);
    const int32_t answer = torture->driver.SetContext(instance, in, size);
    TimerEnd(torture, timer);
    CheckAnswer(torture, kCallSetContext, index, answer,
                {form == 0   ? QP240REMOTE_E_NULL_CONTEXT
                 : form == 1 ? QP240REMOTE_E_CONTEXT_SIZE
                             : QP240REMOTE_OK});
}

static void SendStatusBlock(Torture* torture, int index, TortureRandom* random) {
    int32_t block[QP240REMOTE_HOST_STATUS_SIZE / 4 + 1];
    for (int32_t& word : block)
        word = static_cast<int32_t>(RandomNext(random));
    // Mostly whole blocks; sometimes a size the driver must ignore.
    const int32_t size = RandomBelow(random, 8) == 0 ? QP240REMOTE_HOST_STATUS_SIZE + 1
                                                     : QP240REMOTE_HOST_STATUS_SIZE;
    const CallTimer timer = TimerBegin(torture, kCallSetGetInformations, index, false);
    const int32_t answer = torture->driver.SetGetInformations(
        torture->slots[index].instance, QP240REMOTE_INFO_HOST_STATUS, block, size);
    TimerEnd(torture, timer);
    CheckAnswer(torture, kCallSetGetInformations, index, answer, {QP240REMOTE_OK});
}

// The calls that need neither a handle nor Init.
static void LibraryCalls(Torture* torture, TortureRandom* random) {
    const Deliverable& driver = torture->driver;
    uint8_t out[QP240REMOTE_PLUG_INFORMATION_SIZE];
    const int32_t which = static_cast<int32_t>(RandomBelow(random, 3));
    CallTimer timer = TimerBegin(torture, kCallGetPlugInformation, kNoSlot, false);
    const int32_t answer = driver.GetPlugInformation(which, out);
    TimerEnd(torture, timer);
    CheckAnswer(torture, kCallGetPlugInformation, kNoSlot, answer,
                {which < 2 ? QP240REMOTE_OK : QP240REMOTE_E_BAD_INDEX});
    timer = TimerBegin(torture, kCallGetLastErrorString, kNoSlot, false);
    const char* text = driver.GetLastErrorString();
    TimerEnd(torture, timer);
    if (text == nullptr ||
        (std::strcmp(text, "no-error") != 0 && std::strcmp(text, "Object not created") != 0 &&
         std::strcmp(text, "Library is not initialized") != 0))
        Violate(torture, kBadAnswer, "GetLastErrorString answered \"%s\"",
                text != nullptr ? text : "(null)");
}

// One random call of an instance export (or a library one) from a host thread.
static void InstanceCall(Torture* torture, int index, TortureRandom* random) {
    void* instance = torture->slots[index].instance;
    const Deliverable& driver = torture->driver;
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
        case 5: {
            const int32_t answer = TimedHandleCall(torture, kCallGetDriverStatus, index, false,
                                                   driver.GetDriverStatus, instance);
            CheckAnswer(torture, kCallGetDriverStatus, index, answer,
                        {QP240REMOTE_DRIVER_NOT_STARTED, QP240REMOTE_DRIVER_DETECTING,
                         QP240REMOTE_DRIVER_CONNECTED});
            break;
        }
        case 6: {
            QP240REMOTE_Context context;
            const CallTimer timer = TimerBegin(torture, kCallGetContext, index, false);
            int32_t answer = driver.GetContext(instance, &context);
            TimerEnd(torture, timer);
            CheckAnswer(torture, kCallGetContext, index, answer, {QP240REMOTE_OK});
            answer = TimedHandleCall(torture, kCallGetContextSize, index, false,
                                     driver.GetContextSize, instance);
            CheckAnswer(torture, kCallGetContextSize, index, answer, {QP240REMOTE_CONTEXT_SIZE});
            break;
        }
        case 7:
            CheckedSetContext(torture, index, random);
            break;
        case 8: {
            const CallTimer timer = TimerBegin(torture, kCallResetContext, index, false);
            const int32_t answer =
                driver.ResetContext(instance, static_cast<int32_t>(RandomBelow(random, 2)));
            TimerEnd(torture, timer);
            CheckAnswer(torture, kCallResetContext, index, answer, {QP240REMOTE_OK});
            break;
        }
        case 9:
        case 10:
            SendStatusBlock(torture, index, random);
            break;
        default:
            LibraryCalls(torture, random);
            break;
    }
}

DWORD WINAPI TortureDriverThread(LPVOID number) {
    Torture* torture = g_torture;
    TortureRandom random = RandomFor(torture->settings.seed,
                                     static_cast<uint32_t>(reinterpret_cast<uintptr_t>(number)));
    while (torture->running.load()) {
        const int index = static_cast<int>(RandomBelow(&random, kTortureSlots));
        TortureSlot* slot = &torture->slots[index];
        AcquireSRWLockShared(&slot->lock);
        if (slot->instance != nullptr)
            InstanceCall(torture, index, &random);
        ReleaseSRWLockShared(&slot->lock);
        Sleep(RandomBelow(&random, 6));
    }
    return 0;
}

// --- rounds -------------------------------------------------------------------

// Never called back: the spare instance of a settings check is never started.
static int32_t SpareCallback(intptr_t, int32_t, int32_t, void*) {
    return 0;
}

static int32_t StoredInt(const StoredValue& value) {
    int32_t number = -1;
    if (value.present && value.bytes.size() == sizeof number)
        std::memcpy(&number, value.bytes.data(), sizeof number);
    return number;
}

static bool SamePair(const QP240REMOTE_Context& a, const QP240REMOTE_Context& b) {
    return a.keyMode == b.keyMode && a.midiChannel == b.midiChannel;
}

struct DestroyAtOnce {
    Torture* torture;
    int index;
    HANDLE go;
};

static DWORD WINAPI DestroyWhenTold(LPVOID argument) {
    const DestroyAtOnce* destroy = static_cast<const DestroyAtOnce*>(argument);
    WaitForSingleObject(destroy->go, INFINITE);
    TortureDestroyInstance(destroy->torture, destroy->index, true, false);
    return 0;
}

struct CreateAtOnce {
    Torture* torture;
    HANDLE go;
    void* instance;
};

static DWORD WINAPI CreateWhenTold(LPVOID argument) {
    CreateAtOnce* create = static_cast<CreateAtOnce*>(argument);
    WaitForSingleObject(create->go, INFINITE);
    create->instance = create->torture->driver.Create(SpareCallback, 0);
    return 0;
}

// Under both slots' exclusive locks and the whole settings gate: two instances
// of known, different pairs destroyed on two threads while a third creates an
// instance. The registry must hold one of the two pairs, the new instance one
// whole pair, and the next instance the stored one.
static void CheckTwoDestroysAtOnce(Torture* torture, int a, int b, TortureRandom* random) {
    const Deliverable& driver = torture->driver;
    const int pair[2] = {a, b};
    QP240REMOTE_Context contexts[2];
    for (int i = 0; i < 2; ++i) {
        void* instance = torture->slots[pair[i]].instance;
        // Closed first, so that no click in a box changes the pair meanwhile.
        driver.CloseConfigBox(instance);
        contexts[i] = QP240REMOTE_Context{i, static_cast<int32_t>(RandomBelow(random, 16)), 0};
        driver.SetContext(instance, &contexts[i], sizeof contexts[i]);
    }
    const StoredSettings before = StoredSettingsRead(*torture->family);
    const QP240REMOTE_Context old = {StoredInt(before.values[0]), StoredInt(before.values[1]), 0};

    const HANDLE go = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    DestroyAtOnce destroys[2] = {{torture, a, go}, {torture, b, go}};
    CreateAtOnce create = {torture, go, nullptr};
    const HANDLE threads[3] = {CreateThread(nullptr, 0, DestroyWhenTold, &destroys[0], 0, nullptr),
                               CreateThread(nullptr, 0, DestroyWhenTold, &destroys[1], 0, nullptr),
                               CreateThread(nullptr, 0, CreateWhenTold, &create, 0, nullptr)};
    SetEvent(go);
    WaitForMultipleObjects(3, threads, TRUE, INFINITE);
    for (HANDLE thread : threads)
        CloseHandle(thread);
    CloseHandle(go);

    const StoredSettings after = StoredSettingsRead(*torture->family);
    const QP240REMOTE_Context stored = {StoredInt(after.values[0]), StoredInt(after.values[1]), 0};
    if (!SamePair(stored, contexts[0]) && !SamePair(stored, contexts[1]))
        Violate(torture, kMixedSettings, "destroyed (%d, %d) and (%d, %d) at once; stored (%d, %d)",
                contexts[0].keyMode, contexts[0].midiChannel, contexts[1].keyMode,
                contexts[1].midiChannel, stored.keyMode, stored.midiChannel);
    if (create.instance != nullptr) {
        QP240REMOTE_Context made = {-1, -1, -1};
        driver.GetContext(create.instance, &made);
        if (!SamePair(made, old) && !SamePair(made, contexts[0]) && !SamePair(made, contexts[1]))
            Violate(torture, kMixedSettings, "an instance made meanwhile started from (%d, %d)",
                    made.keyMode, made.midiChannel);
    }
    TortureCreateInstance(torture, a);
    TortureCreateInstance(torture, b);
    QP240REMOTE_Context next = {-1, -1, -1};
    if (torture->slots[a].instance != nullptr)
        driver.GetContext(torture->slots[a].instance, &next);
    if (!SamePair(next, stored))
        Violate(torture, kMixedSettings, "stored (%d, %d), the next instance started from (%d, %d)",
                stored.keyMode, stored.midiChannel, next.keyMode, next.midiChannel);
    // The spare saves the pair it started from; it goes last, out of the check.
    if (create.instance != nullptr)
        driver.Destroy(create.instance);
    torture->settingsChecks.fetch_add(1, std::memory_order_relaxed);
}

// No callback, no instance: one could only crash its first Start.
static void CheckCreateWithoutCallback(Torture* torture) {
    const CallTimer timer = TimerBegin(torture, kCallCreate, kNoSlot, false);
    void* none = torture->driver.Create(nullptr, 0);
    TimerEnd(torture, timer);
    if (none != nullptr)
        Violate(torture, kBadAnswer, "Create without a callback answered an instance");
}

// A round on one instance, with no other call on it in flight: the status and
// the worker agree, at most one box is bound, the heaps are whole; now and
// then the instance is destroyed and made anew, a Create without a callback
// is refused, or two Destroys at once are checked against the stored settings.
static void Round(Torture* torture, int index, TortureRandom* random) {
    TortureSlot* slot = &torture->slots[index];
    const uint64_t round = torture->rounds.fetch_add(1, std::memory_order_relaxed);
    // The first check comes early, so that a short run has one, but after the
    // first round of every instance, which makes them.
    if (round % kSettingsCheckEvery == kTortureSlots) {
        // Two slots in index order, as no other thread takes two; never the
        // calm one.
        const int a = 0;
        const int b = 1;
        AcquireSRWLockExclusive(&torture->slots[a].lock);
        AcquireSRWLockExclusive(&torture->slots[b].lock);
        AcquireSRWLockExclusive(&torture->settingsGate);
        if (torture->slots[a].instance != nullptr && torture->slots[b].instance != nullptr)
            CheckTwoDestroysAtOnce(torture, a, b, random);
        ReleaseSRWLockExclusive(&torture->settingsGate);
        ReleaseSRWLockExclusive(&torture->slots[b].lock);
        ReleaseSRWLockExclusive(&torture->slots[a].lock);
        return;
    }
    AcquireSRWLockExclusive(&slot->lock);
    if (slot->instance == nullptr) {
        TortureCreateInstance(torture, index);
    } else {
        CheckQuietInstance(torture, index);
        const uint32_t roll = RandomBelow(random, 6);
        if (roll == 0 && index != kCalmSlot) {
            TortureDestroyInstance(torture, index, false, false);
            TortureCreateInstance(torture, index);
        } else if (roll == 1) {
            CheckCreateWithoutCallback(torture);
        }
    }
    // Once in every run, however short; now and then again above.
    if (round == 0)
        CheckCreateWithoutCallback(torture);
    ValidateHeaps(torture);
    ReleaseSRWLockExclusive(&slot->lock);
}

DWORD WINAPI TortureRoundThread(LPVOID) {
    Torture* torture = g_torture;
    TortureRandom random = RandomFor(torture->settings.seed, 101);
    for (int index = 0; torture->running.load(); index = (index + 1) % kTortureSlots) {
        Round(torture, index, &random);
        Sleep(kRoundPauseMs);
    }
    return 0;
}

// --- the keypads ----------------------------------------------------------------

// The host's reading thread of one instance's keypad: reports with random keys
// while it is open. One per instance, as a host reads each keypad on a thread
// of its own: a Destroy or Create holding one instance holds up no other's.
DWORD WINAPI TortureReaderThread(LPVOID number) {
    Torture* torture = g_torture;
    const int index = static_cast<int>(reinterpret_cast<uintptr_t>(number));
    TortureSlot* slot = &torture->slots[index];
    TortureRandom random = RandomFor(torture->settings.seed, 202 + index);
    uint8_t keys[kMaxKeypadKeys];
    uint8_t report[1024];
    uint8_t record[kRawInputRecordRoom];
    while (torture->running.load()) {
        Sleep(2 + RandomBelow(&random, 5));
        const HANDLE device = slot->openDevice.load();
        const KeypadModel* model = FindKeypadModel(slot->openProduct.load());
        if (device == nullptr || model == nullptr)
            continue;
        for (uint8_t& key : keys)
            key = RandomBelow(&random, 4) == 0;
        const uint32_t length = BuildKeypadReport(*model, keys, report);
        WrapRawInputRecord(device, report, length, length, record, sizeof record);
        if (!ReaderEnters(slot))
            continue;
        if (slot->instance != nullptr) {
            const CallTimer timer = TimerBegin(torture, kCallSetGetInformations, index, false);
            const int32_t answer = torture->driver.SetGetInformations(
                slot->instance, QP240REMOTE_INFO_INPUT_REPORT, record, 0);
            TimerEnd(torture, timer);
            // The keypad may have gone, or been connected anew, since the
            // host read it.
            CheckAnswer(torture, kCallSetGetInformations, index, answer,
                        {QP240REMOTE_OK, QP240REMOTE_E_NOT_CONNECTED, QP240REMOTE_E_OTHER_DEVICE});
        }
        ReaderLeaves(slot);
    }
    return 0;
}

// Keypads of the family and decoys come and go beside the one that stays.
DWORD WINAPI TorturePlugThread(LPVOID) {
    Torture* torture = g_torture;
    TortureRandom random = RandomFor(torture->settings.seed, 303);
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

// --- boxes --------------------------------------------------------------------

// Takes an instance's lock shared without ever blocking this thread's
// messages: another box thread's open, or a worker's, may be waiting for them.
static bool TakeSlotPumping(TortureSlot* slot) {
    for (int attempt = 0; attempt < 50; ++attempt) {
        if (TryAcquireSRWLockShared(&slot->lock))
            return true;
        PumpHostMessages();
        Sleep(1);
    }
    return false;
}

static void BoxAction(Torture* torture, int index, HWND host, TortureRandom* random) {
    void* instance = torture->slots[index].instance;
    const uint32_t action = RandomBelow(random, 4);
    if (action < 2) {
        const CallTimer timer = TimerBegin(torture, kCallOpenConfigBox, index, false);
        const int32_t answer = torture->driver.OpenConfigBox(
            instance, host, kHostMargin + static_cast<int32_t>(RandomBelow(random, 9)), kHostMargin,
            kBoxWidth, kBoxHeight);
        TimerEnd(torture, timer);
        CheckAnswer(torture, kCallOpenConfigBox, index, answer,
                    {QP240REMOTE_OK, QP240REMOTE_ALREADY});
        if (answer == 0 && BoxesBoundTo(torture, instance) == 1)
            torture->boxesMade.fetch_add(1, std::memory_order_relaxed);
    } else if (action == 2) {
        const int32_t answer = TimedHandleCall(torture, kCallCloseConfigBox, index, false,
                                               torture->driver.CloseConfigBox, instance);
        CheckAnswer(torture, kCallCloseConfigBox, index, answer,
                    {QP240REMOTE_OK, QP240REMOTE_ALREADY});
    } else if (HWND box = FindConfigBox(host)) {
        ClickConfigField(box, static_cast<int>(RandomBelow(random, 2)));
    }
}

// A host thread with a window of its own: opens, moves, clicks and closes the
// boxes of random instances in it and pumps its messages. At the end it
// checks that no box is left in its window, then destroys the window.
DWORD WINAPI TortureBoxThread(LPVOID number) {
    Torture* torture = g_torture;
    const int which = static_cast<int>(reinterpret_cast<uintptr_t>(number));
    TortureRandom random = RandomFor(torture->settings.seed, 404 + which);
    HWND host = CreateSimulatedHostWindow(kBoxWidth, kBoxHeight);
    torture->hostWindows[which] = host;
    SetEvent(torture->boxesReady[which]);

    while (WaitForSingleObject(torture->boxesFinish, 0) == WAIT_TIMEOUT) {
        PumpHostMessages();
        Sleep(1 + RandomBelow(&random, 3));
        const int index = static_cast<int>(RandomBelow(&random, kTortureSlots));
        TortureSlot* slot = &torture->slots[index];
        if (!torture->running.load() || !TakeSlotPumping(slot))
            continue;
        if (slot->instance != nullptr)
            BoxAction(torture, index, host, &random);
        ReleaseSRWLockShared(&slot->lock);
    }
    // Boxes closed from other threads close here, with their posted messages.
    const DWORD settle = GetTickCount();
    while (GetTickCount() - settle < 200) {
        PumpHostMessages();
        Sleep(5);
    }
    if (FindConfigBox(host) != nullptr)
        Violate(torture, kBoxLeft, "box window %d left in its host window after every Destroy",
                which);
    torture->hostWindows[which] = nullptr;
    DestroyWindow(host);
    PumpHostMessages();
    return 0;
}

// --- the unload while a worker is blocked --------------------------------------

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

    void* instance = driver->Create(ProbeCallback, 0);
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
        if (stopMs < 9000 || stopMs > 12500)
            Violate(torture, kTooSlow, "Stop of a blocked worker took %lu ms, not about 10 s",
                    stopMs);
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
            if (void* other = driver->Create(SpareCallback, 0)) {
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
        // it on its way out.
        SetEvent(g_probe.letGo);
        const DWORD start = GetTickCount();
        while (MappedModule(path) != nullptr && GetTickCount() - start < 5000)
            Sleep(10);
        if (MappedModule(path) != nullptr)
            Violate(torture, kLibraryGone, "still mapped 5 s after its last worker was let go");
        if (g_probe.callsAfterGiveUp.load() != 0)
            Violate(torture, kLateCallback, "the unload probe was called %d times after Stop",
                    g_probe.callsAfterGiveUp.load());
    }
    CloseHandle(g_probe.blocked);
    CloseHandle(g_probe.letGo);
}
