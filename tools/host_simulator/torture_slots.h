// The host's bookkeeping of its handles: the contract's one rule (no call with
// a handle once a Destroy of it returned) kept without holding anything across
// a call, so that calls on one instance overlap each other and its Destroys as
// a real host's do. A slot's handle is replaced by the next Create's only once
// every call begun with it is back.
#pragma once

#include "tools/host_simulator/torture_records.h"

// A call's hold on a slot's handle; `handle` null: no call may begin.
struct SlotHold {
    void* handle;
    uint32_t generation;
};

// Counts the caller in on the slot's handle, unless there is none, a Destroy
// of it returned, or a check wants the slot quiet (`scripted`: the check's own
// calls). Never waits. Every hold with a handle ends with SlotLetGo.
SlotHold SlotHoldHandle(TortureSlot* slot, bool scripted);
void SlotLetGo(TortureSlot* slot);

// Refuses new holds but scripted ones and waits until the calls in flight are
// back; SlotLoud lets them in again. The rounds' thread only.
void SlotQuiet(TortureSlot* slot);
void SlotLoud(TortureSlot* slot);

// Under quiet: the live handle, or null when there is none or it ended; an
// ended one is forgotten, with the check that one of its Destroys answered 0.
void* SlotLiveHandle(Torture* torture, int index);

// Under quiet, with no live handle: a new instance in the slot.
void TortureCreateInstance(Torture* torture, int index);
// Every Create of the run, counted for the stale-handle probe.
void* CountedCreate(Torture* torture, QP240REMOTE_Callback callback, intptr_t userValue);

// A Destroy of the held handle, with every check of what must hold once it
// returned: one of its Destroys answers 0; no callback begins after that, nor
// after one refused on a host thread; no run that began before it goes on; its
// boxes go; and every export refuses the handle from then on. From a
// callback the caller holds the settings gate.
int32_t TortureDestroyHeld(Torture* torture, int index, const SlotHold& held, bool fromCallback);
// The same for a host thread: takes the settings gate shared around it, unless
// `gated` (the caller holds it whole).
int32_t TortureDestroyFromHost(Torture* torture, int index, const SlotHold& held, bool gated);
