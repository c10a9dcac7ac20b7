// An instance that ends inside its own callback while host threads wait on
// it: the ambushed callback holds its worker while the rounds' thread sends
// host threads into Stop and Destroy of the instance (and, once the callback
// stopped its own run, into a Start that waits for that run), then destroys
// the instance from inside the callback. Each call must come back within its
// bound with a documented answer, one Destroy answers 0, and the library
// serves the next instance.
#include "tools/host_simulator/torture_actors.h"

#include "tools/host_simulator/torture_checks.h"

// Long enough for the threads sent into the calls to be waiting inside them.
static constexpr DWORD kSettleMs = 100;
// A started worker's first callback comes at once; a running one's next within
// a detection period.
static constexpr DWORD kSpringWithinMs = QP240REMOTE_DETECTION_PERIOD_MS + kRunBeginGraceMs;

struct WaitingCall {
    Torture* torture;
    SlotHold held;   // counted in by the rounds' thread, let go by the call's thread
    HANDLE calling;  // set as the call is made
    int index;
    AmbushWaiter what;
};

static DWORD WINAPI CallAndWait(LPVOID argument) {
    WaitingCall* call = static_cast<WaitingCall*>(argument);
    SetEvent(call->calling);
    if (call->what == kWaitInStop)
        TortureStopFromHost(call->torture, call->index, call->held);
    else if (call->what == kWaitInStart)
        TortureStartFromHost(call->torture, call->index, call->held.handle);
    else
        TortureDestroyFromHost(call->torture, call->index, call->held, false);
    SlotLetGo(&call->torture->slots[call->index]);
    return 0;
}

// Sends a host thread into the call, and returns once it is waiting there.
static HANDLE SendIntoCall(Torture* torture, int index, AmbushWaiter what, WaitingCall* call) {
    *call = WaitingCall{torture, SlotHoldHandle(&torture->slots[index], true),
                        CreateEventA(nullptr, TRUE, FALSE, nullptr), index, what};
    HANDLE thread = nullptr;
    if (call->held.handle != nullptr) {
        thread = CreateThread(nullptr, 0, CallAndWait, call, 0, nullptr);
        WaitForSingleObject(call->calling, INFINITE);
    }
    CloseHandle(call->calling);
    return thread;
}

// After the instance ended: the next one starts, calls back and stops.
static void CheckNextInstance(Torture* torture, int index) {
    TortureSlot* slot = &torture->slots[index];
    SlotQuiet(slot);
    if (SlotLiveHandle(torture, index) != nullptr)
        return;
    TortureCreateInstance(torture, index);
    const SlotHold held = SlotHoldHandle(slot, true);
    if (held.handle == nullptr)
        return;
    const int32_t started = TortureStartFromHost(torture, index, held.handle);
    if (started == QP240REMOTE_OK && !WaitForRun(slot, true, kRunBeginGraceMs))
        Violate(torture, kNextInstance, "instance %d: started, no callback came", index);
    else if (started != QP240REMOTE_OK)
        Violate(torture, kNextInstance, "instance %d: Start answered %d", index, started);
    TortureStopFromHost(torture, index, held);
    SlotLetGo(slot);
}

// Armed for the slot's next callback and sprung by it; false when no callback
// came.
static bool Spring(Torture* torture, int index, uint32_t waiters) {
    TortureSlot* slot = &torture->slots[index];
    Ambush* ambush = &torture->ambush;
    ambush->waiters = waiters;
    for (HANDLE event : {ambush->sprung, ambush->stopNow, ambush->stopped, ambush->endNow})
        ResetEvent(event);
    const SlotHold held = SlotHoldHandle(slot, true);
    if (held.handle == nullptr)
        return false;
    ambush->generation.store(held.generation);
    ambush->armedSlot.store(index);
    TortureStartFromHost(torture, index, held.handle);
    SlotLetGo(slot);
    if (WaitForSingleObject(ambush->sprung, kSpringWithinMs) == WAIT_OBJECT_0)
        return true;
    int armed = index;
    if (ambush->armedSlot.compare_exchange_strong(armed, kNoSlot))
        return false;
    WaitForSingleObject(ambush->sprung, INFINITE);
    return true;
}

void TortureAmbush(Torture* torture, int index, TortureRandom* random) {
    Ambush* ambush = &torture->ambush;
    const uint32_t waiters = 1 + RandomBelow(random, kWaitAll);
    if (!Spring(torture, index, waiters))
        return;
    torture->ambushes.fetch_add(1, std::memory_order_relaxed);
    WaitingCall calls[4];
    HANDLE threads[4];
    DWORD count = 0;
    for (AmbushWaiter what : {kWaitInStop, kWaitInDestroy, kWaitInSecondDestroy})
        if ((waiters & what) != 0)
            if (HANDLE thread = SendIntoCall(torture, index, what, &calls[count]))
                threads[count++] = thread;
    Sleep(kSettleMs);
    if ((waiters & kWaitInStart) != 0) {
        SetEvent(ambush->stopNow);
        WaitForSingleObject(ambush->stopped, INFINITE);
        if (HANDLE thread = SendIntoCall(torture, index, kWaitInStart, &calls[count]))
            threads[count++] = thread;
        Sleep(kSettleMs);
    }
    SetEvent(ambush->endNow);
    // A call that never returns is the watchdog's to report.
    if (count > 0)
        WaitForMultipleObjects(count, threads, TRUE, INFINITE);
    for (DWORD i = 0; i < count; ++i)
        CloseHandle(threads[i]);
    CheckNextInstance(torture, index);
}
