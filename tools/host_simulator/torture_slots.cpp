#include "tools/host_simulator/torture_slots.h"

#include "tools/host_simulator/torture_actors.h"
#include "tools/host_simulator/torture_checks.h"

SlotHold SlotHoldHandle(TortureSlot* slot, bool scripted) {
    SlotHold hold = {nullptr, 0};
    AcquireSRWLockExclusive(&slot->books);
    if (slot->instance != nullptr && !slot->ended && (scripted || !slot->quiet)) {
        ++slot->holders;
        hold = SlotHold{slot->instance, slot->generation.load()};
    }
    ReleaseSRWLockExclusive(&slot->books);
    return hold;
}

void SlotLetGo(TortureSlot* slot) {
    AcquireSRWLockExclusive(&slot->books);
    --slot->holders;
    ReleaseSRWLockExclusive(&slot->books);
}

static int32_t Holders(TortureSlot* slot) {
    AcquireSRWLockExclusive(&slot->books);
    const int32_t holders = slot->holders;
    ReleaseSRWLockExclusive(&slot->books);
    return holders;
}

void SlotQuiet(TortureSlot* slot) {
    AcquireSRWLockExclusive(&slot->books);
    slot->quiet = true;
    ReleaseSRWLockExclusive(&slot->books);
    while (Holders(slot) != 0)
        Sleep(1);
}

void SlotLoud(TortureSlot* slot) {
    AcquireSRWLockExclusive(&slot->books);
    slot->quiet = false;
    ReleaseSRWLockExclusive(&slot->books);
}

void* SlotLiveHandle(Torture* torture, int index) {
    TortureSlot* slot = &torture->slots[index];
    AcquireSRWLockExclusive(&slot->books);
    const bool forget = slot->ended;
    if (forget) {
        slot->instance = nullptr;
        slot->ended = false;
    }
    void* live = slot->instance;
    ReleaseSRWLockExclusive(&slot->books);
    if (forget && slot->destroysDone.load() == 0)
        Violate(torture, kDestroyAnswers, "instance %d: no Destroy of it answered 0", index);
    return live;
}

void* CountedCreate(Torture* torture, QP240REMOTE_Callback callback, intptr_t userValue) {
    torture->createCalls.fetch_add(1);
    const CallTimer timer = TimerBegin(torture, kCallCreate, kNoSlot, false);
    void* instance = torture->driver.Create(callback, userValue);
    TimerEnd(torture, timer);
    return instance;
}

void TortureCreateInstance(Torture* torture, int index) {
    TortureSlot* slot = &torture->slots[index];
    const uint32_t generation = slot->generation.load() + 1;
    slot->callbackRandom = RandomFor(torture->settings.seed, 1000 + index * 7919 + generation);
    slot->destroyBegun.store(false);
    slot->destroysDone.store(0);
    AcquireSRWLockExclusive(&slot->books);
    slot->generation.store(generation);
    ReleaseSRWLockExclusive(&slot->books);
    void* instance = CountedCreate(torture, TortureCallback, TortureUserValue(index, generation));
    AcquireSRWLockExclusive(&slot->books);
    slot->instance = instance;
    slot->ended = false;
    ReleaseSRWLockExclusive(&slot->books);
    if (instance == nullptr)
        Violate(torture, kBadAnswer, "instance %d: Create answered null", index);
    else
        torture->created.fetch_add(1, std::memory_order_relaxed);
}

// After a Destroy of `handle` returned: no call may begin with it; after one
// that answered 0 every callback of it is a late one. True for the first.
static bool EndHandle(TortureSlot* slot, const SlotHold& held, bool done) {
    AcquireSRWLockExclusive(&slot->books);
    const bool first = !slot->ended;
    slot->ended = true;
    if (done)
        slot->generation.store(held.generation + 1);
    ReleaseSRWLockExclusive(&slot->books);
    return first;
}

// A call the host rule forbids but the contract answers: within
// QP240REMOTE_STALE_HANDLE_CREATES Creates after a Destroy returned, every
// export refuses the handle, those that would start, stop or end an instance
// made meanwhile at the same address included. Start first: one that served
// the handle is undone by the Stop and Destroy that follow.
// Creates other threads may make while a probe is under way are many fewer
// than this: probing stops well inside the window, since a call past it could
// act on memory the DLL has handed back.
static constexpr uint64_t kStaleProbeCreates = QP240REMOTE_STALE_HANDLE_CREATES / 2;

static void ProbeStaleHandle(Torture* torture, int index, void* handle, uint64_t createsAtEnd,
                             bool fromCallback) {
    if (torture->createCalls.load() - createsAtEnd >= kStaleProbeCreates)
        return;
    const Deliverable& driver = torture->driver;
    const int32_t status = driver.GetDriverStatus(handle);
    const int32_t size = driver.GetContextSize(handle);
    const int32_t started =
        TimedHandleCall(torture, kCallStart, index, fromCallback, driver.Start, handle);
    const int32_t stopped =
        TimedHandleCall(torture, kCallStop, index, fromCallback, driver.Stop, handle);
    const int32_t destroyed =
        TimedHandleCall(torture, kCallDestroy, index, fromCallback, driver.Destroy, handle);
    torture->staleProbes.fetch_add(1, std::memory_order_relaxed);
    if (status != QP240REMOTE_DRIVER_NOT_STARTED || size != QP240REMOTE_E_BAD_HANDLE ||
        started != QP240REMOTE_E_BAD_HANDLE || stopped != QP240REMOTE_E_BAD_HANDLE ||
        destroyed != QP240REMOTE_E_BAD_HANDLE)
        Violate(torture, kStaleHandleServed,
                "instance %d: after its Destroy, status %d, context size %d, Start %d, Stop %d, "
                "Destroy %d",
                index, status, size, started, stopped, destroyed);
}

int32_t TortureDestroyHeld(Torture* torture, int index, const SlotHold& held, bool fromCallback) {
    TortureSlot* slot = &torture->slots[index];
    void* handle = held.handle;
    slot->destroyBegun.store(true);
    const uint64_t calledAt = torture->sequence.fetch_add(1) + 1;
    const CallTimer timer = TimerBegin(torture, kCallDestroy, index, fromCallback);
    const int32_t answer = torture->driver.Destroy(handle);
    // Read before the call counts as back, as Stop's (CheckRunOver).
    const DWORD blocked = slot->blockingThread.load();
    TimerEnd(torture, timer);
    const uint64_t createsAtEnd = torture->createCalls.load();
    CheckAnswer(torture, kCallDestroy, index, answer, {QP240REMOTE_OK, QP240REMOTE_E_BAD_HANDLE});
    const bool done = answer == QP240REMOTE_OK;
    if (done && slot->destroysDone.fetch_add(1) == 1)
        Violate(torture, kDestroyAnswers, "instance %d: two Destroys of it answered 0", index);
    // Its boxes, taken before the slot may take a new instance that opens its
    // own.
    const std::vector<HWND> boxes = done ? SlotBoxes(torture, index) : std::vector<HWND>();
    const bool first = EndHandle(slot, held, done);
    // On a host thread either answer comes once the run is over or given up
    // on; refused, the Destroy found the instance claimed by another, and no
    // callback of it may begin after this one either.
    if (!fromCallback) {
        if (!done)
            SilenceGeneration(slot, held.generation);
        CheckRunOver(torture, index, calledAt, blocked, done ? "Destroy (0)" : "Destroy (-1)");
    }
    if (done) {
        // The run is over: from inside a callback no 51 follows.
        CloseRun(slot);
        slot->openDevice.store(nullptr);
        // A Destroy refused while another ends the instance may return first.
        if (!BoxesGo(boxes))
            Violate(torture, kBoxOutlivesDestroy, "instance %d: a box outlived its Destroy", index);
    }
    if (first)
        ProbeStaleHandle(torture, index, handle, createsAtEnd, fromCallback);
    return answer;
}

int32_t TortureDestroyFromHost(Torture* torture, int index, const SlotHold& held, bool gated) {
    if (!gated)
        AcquireSRWLockShared(&torture->settingsGate);
    const int32_t answer = TortureDestroyHeld(torture, index, held, false);
    if (!gated)
        ReleaseSRWLockShared(&torture->settingsGate);
    return answer;
}
