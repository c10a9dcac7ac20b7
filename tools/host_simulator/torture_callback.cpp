// The host callback of the torture's instances: it answers offers, counts
// events and now and then calls its own instance back (Stop, Start, Destroy,
// a box) or takes its time, also beyond Stop's wait.
#include "tools/host_simulator/torture_actors.h"

#include "tools/host_simulator/config_box_view.h"
#include "tools/host_simulator/simulated_keypads.h"
#include "tools/host_simulator/torture_checks.h"

Torture* g_torture;

// The longest the ambushed callback waits for its cues from the rounds' thread,
// both together: half of Stop's wait, so that the host threads it holds in Stop
// and Destroy come back before they would give its worker up, however slowly
// the rounds' thread sends them in. A cue that comes later finds the callback
// gone on without it.
static constexpr DWORD kAmbushCueMs = QP240REMOTE_STOP_WAIT_MS / 2;
// Short blocks of a callback: the host takes a while over an event.
static constexpr uint32_t kShortBlockMaxMs = 300;
static std::atomic<bool> g_longBlockActive;

int32_t SpareCallback(intptr_t, int32_t, int32_t, void*) {
    return 0;
}

// The callback's calls of its own instance, held as a host thread holds its
// calls: none once a Destroy of it returned. Started from a callback, a Stop
// answers at once, and a Start finds the instance started, or its own run
// ending (-2000); a second worker would answer 0.
static void StopOwn(Torture* torture, int index, const SlotHold& held) {
    const int32_t answer =
        TimedHandleCall(torture, kCallStop, index, true, torture->driver.Stop, held.handle);
    CheckAnswer(torture, kCallStop, index, answer, {QP240REMOTE_OK, QP240REMOTE_ALREADY});
    torture->callbackStops.fetch_add(1, std::memory_order_relaxed);
}

static void StartOwn(Torture* torture, int index, const SlotHold& held) {
    const int32_t answer =
        TimedHandleCall(torture, kCallStart, index, true, torture->driver.Start, held.handle);
    CheckAnswer(torture, kCallStart, index, answer, {QP240REMOTE_ALREADY, QP240REMOTE_E_NO_THREAD});
    if (answer == QP240REMOTE_E_NO_THREAD)
        NoteStartFailed(torture, index);
    torture->callbackStarts.fetch_add(1, std::memory_order_relaxed);
}

// Never waits for the settings gate: a check of two Destroys holds it whole
// while its Destroys wait for this very worker.
static void DestroyOwn(Torture* torture, int index, const SlotHold& held) {
    if (!TryAcquireSRWLockShared(&torture->settingsGate))
        return;
    TortureDestroyHeld(torture, index, held, true);
    torture->callbackDestroys.fetch_add(1, std::memory_order_relaxed);
    ReleaseSRWLockShared(&torture->settingsGate);
}

// How long a box closed by another thread may take to reach this one.
static constexpr DWORD kOwnBoxGoesMs = 1000;

// Opened on the worker's own thread in a box thread's host window, closed
// again, and gone before the callback returns: the worker pumps no messages
// once it has. A close from another thread meanwhile leaves the window to
// this thread, which pumps until it is gone, as the box's thread must.
static void BoxOwn(Torture* torture, int index, const SlotHold& held) {
    HWND host = torture->hostWindows[index % kTortureBoxThreads][index];
    if (host == nullptr)
        return;
    TortureOpenBox(torture, index, held.handle, host, kHostMargin, true);
    const int32_t closed = TimedHandleCall(torture, kCallCloseConfigBox, index, true,
                                           torture->driver.CloseConfigBox, held.handle);
    CheckAnswer(torture, kCallCloseConfigBox, index, closed, {QP240REMOTE_OK, QP240REMOTE_ALREADY});
    const DWORD start = GetTickCount();
    while (OwnConfigBox(host) != nullptr && GetTickCount() - start < kOwnBoxGoesMs) {
        PumpHostMessages();
        Sleep(1);
    }
    if (OwnConfigBox(host) != nullptr)
        Violate(torture, kBoxLeft, "instance %d: a box closed while its callback made it stayed",
                index);
    torture->callbackBoxes.fetch_add(1, std::memory_order_relaxed);
}

typedef void (*OwnCall)(Torture* torture, int index, const SlotHold& held);

// `scripted`: the ambush's own calls, made while the slot is quiet for others.
// Only with the callback's own instance: an older instance's callback (one
// given up on) must not call the slot's next one.
static void CallOwnInstance(Torture* torture, int index, uint32_t generation, bool scripted,
                            OwnCall call) {
    TortureSlot* slot = &torture->slots[index];
    const SlotHold held = SlotHoldHandle(slot, scripted);
    if (held.handle == nullptr)
        return;
    if (held.generation == generation)
        call(torture, index, held);
    SlotLetGo(slot);
}

// False when the cue did not come before the ambush's time ran out.
static bool WaitForCue(HANDLE cue, DWORD sprungAt) {
    const DWORD spent = GetTickCount() - sprungAt;
    return WaitForSingleObject(cue, spent < kAmbushCueMs ? kAmbushCueMs - spent : 0) ==
           WAIT_OBJECT_0;
}

bool TortureSpringAmbush(Torture* torture, int index, uint32_t generation) {
    Ambush* ambush = &torture->ambush;
    int armed = index;
    if (ambush->generation.load() != generation ||
        !ambush->armedSlot.compare_exchange_strong(armed, kNoSlot))
        return false;
    SetEvent(ambush->sprung);
    const DWORD sprungAt = GetTickCount();
    bool late = false;
    // A Start is to wait for the run this callback ends.
    if ((ambush->waiters & kWaitInStart) != 0) {
        late |= !WaitForCue(ambush->stopNow, sprungAt);
        CallOwnInstance(torture, index, generation, true, StopOwn);
        SetEvent(ambush->stopped);
    }
    late |= !WaitForCue(ambush->endNow, sprungAt);
    CallOwnInstance(torture, index, generation, true, DestroyOwn);
    if (late)
        torture->ambushesLate.fetch_add(1, std::memory_order_relaxed);
    return true;
}

// A block longer than Stop's wait: the Stops and Destroys made meanwhile give
// the worker up. It is the callback's last act, and it no longer counts as in
// a callback: once given up, the slot's next instance may call back while this
// one still blocks.
static void BlockBeyondStop(Torture* torture, int index) {
    TortureSlot* slot = &torture->slots[index];
    slot->blockedMs.fetch_add(kLongBlockMs);
    slot->blockingThread.store(GetCurrentThreadId());
    slot->inCallback.fetch_sub(1);
    torture->blocks.fetch_add(1, std::memory_order_relaxed);
    Sleep(kLongBlockMs);
    while (GiveUpNear(*torture, index))
        Sleep(10);
    slot->blockingThread.store(0);
    EnterCriticalSection(&slot->track);
    if (slot->givenUpThread == GetCurrentThreadId())
        slot->givenUpLeftAt = GetTickCount();
    LeaveCriticalSection(&slot->track);
    g_longBlockActive.store(false);
}

// Now and then the host answers an event by calling the driver back, or takes
// its time over it. True when the callback has let go of its slot's count.
static bool ActFromCallback(Torture* torture, int index, uint32_t generation,
                            TortureRandom* random) {
    TortureSlot* slot = &torture->slots[index];
    const uint32_t roll = RandomBelow(random, 100);
    if (roll < 5) {
        CallOwnInstance(torture, index, generation, false, StopOwn);
    } else if (roll < 7) {
        CallOwnInstance(torture, index, generation, false, StartOwn);
    } else if (roll < 8) {
        CallOwnInstance(torture, index, generation, false, DestroyOwn);
    } else if (roll < 10) {
        CallOwnInstance(torture, index, generation, false, BoxOwn);
    } else if (roll < 12) {
        const uint32_t ms = 10 + RandomBelow(random, kShortBlockMaxMs);
        slot->blockedMs.fetch_add(ms);
        torture->blocks.fetch_add(1, std::memory_order_relaxed);
        Sleep(ms);
    } else if (roll == 12 && torture->settings.longMode && RandomBelow(random, 2) == 0) {
        bool idle = false;
        if (g_longBlockActive.compare_exchange_strong(idle, true)) {
            BlockBeyondStop(torture, index);
            return true;
        }
    }
    return false;
}

// The host's part of a callback: the offer's answer and the counts.
static int32_t Answer(Torture* torture, int index, int32_t code, int32_t argument, void* pointer) {
    TortureSlot* slot = &torture->slots[index];
    TortureRandom* random = &slot->callbackRandom;
    switch (code) {
        case QP240REMOTE_CODE_OFFER_KEYPAD:
            // The calm instance takes every keypad it is offered.
            if (RandomBelow(random, 2) == 0 || index == kCalmSlot) {
                SimulatedDevice device;
                slot->openProduct.store(SimulatedDeviceFind(pointer, &device) ? device.productId
                                                                              : 0);
                slot->openDevice.store(pointer);
                torture->accepted.fetch_add(1, std::memory_order_relaxed);
                return 1;
            }
            torture->refused.fetch_add(1, std::memory_order_relaxed);
            return 0;
        case QP240REMOTE_CODE_CONNECTED:
            torture->connected.fetch_add(1, std::memory_order_relaxed);
            return 0;
        case QP240REMOTE_CODE_CLOSE_KEYPAD:
            slot->openDevice.store(nullptr);
            return 0;
        case QP240REMOTE_CODE_FILL_STATUS:
            for (int32_t i = 0; i < argument / 4; ++i)
                static_cast<int32_t*>(pointer)[i] = static_cast<int32_t>(RandomNext(random));
            return 0;
        case QP240REMOTE_CODE_MIDI_BYTES:
        case QP240REMOTE_CODE_PAD_PRESSED:
        case QP240REMOTE_CODE_PAD_RELEASED:
        case QP240REMOTE_CODE_STOP_ALL_PADS:
        case QP240REMOTE_CODE_STOP_ALL_PLISTS:
            torture->events.fetch_add(1, std::memory_order_relaxed);
            return 0;
    }
    return 0;
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
    const int32_t answer = Answer(torture, index, code, argument, pointer);
    // Key events come many to a connection: only one in ten of them acts, so
    // that a connection lasts long enough to deliver some.
    TortureRandom* random = &slot->callbackRandom;
    const bool event = code == QP240REMOTE_CODE_PAD_PRESSED || code == QP240REMOTE_CODE_MIDI_BYTES;
    const bool acts = code == QP240REMOTE_CODE_CONNECTED || code == QP240REMOTE_CODE_NO_KEYPAD ||
                      (event && RandomBelow(random, 10) == 0);
    if (current && !TortureSpringAmbush(torture, index, generation) && acts &&
        ActFromCallback(torture, index, generation, random))
        return answer;
    // What a callback took beyond a moment, the Stops waiting for its worker
    // are allowed on top of their own wait.
    const DWORD took = GetTickCount() - began;
    if (took > 2)
        slot->blockedMs.fetch_add(took);
    slot->inCallback.fetch_sub(1);
    return answer;
}
