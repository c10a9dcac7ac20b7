// What the torture checks and how it reports: the documented answers and
// waits of every export, the order and threads of the callbacks, the state of
// an instance with no call in flight, the stored settings after two Destroys
// at once, the heaps, and what a run must have done; and the summary.
#pragma once

#include <cstdint>

#include <initializer_list>
#include <vector>

#include "tools/common/printf_format.h"
#include "tools/host_simulator/process_counts.h"
#include "tools/host_simulator/torture_records.h"

// Beyond its documented wait a run stopped elsewhere must have ended; the room
// is for a busy machine.
inline constexpr DWORD kRunEndGraceMs = 5000;
// A started worker makes its first call at once.
inline constexpr DWORD kRunBeginGraceMs = 5000;

void Violate(Torture* torture, Violation kind, const char* format, ...) KOLMAR_PRINTF_FORMAT(3, 4);

// The time of one export call: begun before it, ended after it. The slot (-1
// for calls without a handle) tells how long its callbacks took meanwhile,
// which the calls that wait for the worker are allowed on top of their own
// wait; made from inside a callback, no call waits.
struct CallTimer {
    TortureCall call;
    int index;  // the slot, or -1
    DWORD start;
    uint64_t blockedBefore;
    bool blockingAtBegin;  // a long block already under way: its rest is waited for
    bool fromCallback;
    int flight;  // its entry among the calls in progress, or -1 when they were full
};
CallTimer TimerBegin(Torture* torture, TortureCall call, int index, bool fromCallback);
// Counts the call, keeps the slowest, and reports one over its limit.
// `extraMs`: what the caller knows the call may wait on top of its limit.
void TimerEnd(Torture* torture, const CallTimer& timer, DWORD extraMs = 0);

// A call of an export that takes only the handle, timed.
int32_t TimedHandleCall(Torture* torture, TortureCall call, int index, bool fromCallback,
                        int32_t(QP240REMOTE_CALL* exported)(void*), void* handle);

// Any other export call, timed.
template <typename Call>
int32_t TimedCall(Torture* torture, TortureCall call, int index, bool fromCallback, Call make) {
    const CallTimer timer = TimerBegin(torture, call, index, fromCallback);
    const int32_t answer = make();
    TimerEnd(torture, timer);
    return answer;
}

// A documented answer, or a violation naming the call and what it answered.
// A call that overlapped a Destroy of its slot's handle may also answer
// E_BAD_HANDLE.
void CheckAnswer(Torture* torture, TortureCall call, int index, int32_t answer,
                 std::initializer_list<int32_t> documented);

// One callback recorded against its run, on the worker thread; false when it
// came late (after its instance's Destroy, after a Stop or Destroy refused it
// on a host thread, or after a Stop gave its worker up).
bool TrackCallback(Torture* torture, int index, uint32_t generation, int32_t code);

// Stop and Destroy on a host thread, after they answered, whatever they
// answered (E_BAD_HANDLE included, for a call begun while the handle was the
// host's): no run that began before `calledAt` may still be going, but for
// that of `blocked`, the worker whose callback still blocked beyond Stop's
// wait when the call returned (TortureSlot::blockingThread, read before
// TimerEnd): the call gave it up, and it makes no more calls.
void CheckRunOver(Torture* torture, int index, uint64_t calledAt, DWORD blocked, const char* call);
// True while a Stop or Destroy of the slot on a host thread, not yet back
// from TimerEnd, may be about to give its run up. A block beyond Stop's wait
// ends only when this is false, so that a give-up always finds that block in
// hand: one that came just after the block returned, with the next callback
// in hand, would look to the host like a callback begun after the give-up.
bool GiveUpNear(const Torture& torture, int index);
// A Stop or Destroy of `generation` answered E_BAD_HANDLE on a host thread:
// the instance is claimed and no callback of it may begin from here on.
void SilenceGeneration(TortureSlot* slot, uint32_t generation);

// The run as the callbacks show it: a Start's -2000 leaves the instance
// started without a worker of its own; a Stop or Destroy ended the run.
void NoteStartFailed(Torture* torture, int index);
// A Stop called at `calledAt` answered 0: a -2000 noted before it no longer
// counts. One noted since (a callback's Start while this Stop waited for its
// run) still does.
void NoteStopped(TortureSlot* slot, uint64_t calledAt);
void CloseRun(TortureSlot* slot);
// Waits until the slot's run is open (or closed) as asked; false on timeout.
bool WaitForRun(TortureSlot* slot, bool open, DWORD timeoutMs);

// A worker a Stop gave up on may still be alive: blocked, or leaving since a
// moment. A Start meanwhile may answer -2000.
bool GivenUpWorkerMayLive(Torture* torture, int index);

// With no call of the instance in flight: the status agrees with the worker,
// and the instance has at most one box.
void CheckQuietInstance(Torture* torture, int index, void* instance);
// The boxes of the slot's instances in the box threads' windows: those made
// on the window's own thread. (A box a worker opens from its callback goes
// with that worker's thread, whatever closed it.)
std::vector<HWND> SlotBoxes(Torture* torture, int index);
// A box closed from another thread goes when its box thread next pumps its
// messages: true when each of `boxes` has gone within the time that takes.
bool BoxesGo(const std::vector<HWND>& boxes);

// The process heaps pass HeapValidate (with full heap checking on, that also
// walks every block).
void ValidateHeaps(Torture* torture);
// The run connected keypads, delivered key events and made boxes.
void CheckActivity(Torture* torture);
// The heap checking the process runs under: the global flags it started with.
uint32_t HeapCheckFlags();

// Straight to the output, past the C runtime's buffer and the heap: a stuck
// run's report must come out while another thread may hold the heap's lock.
void TortureReport(const char* format, ...) KOLMAR_PRINTF_FORMAT(1, 2);

// For a run that does not end: what the orchestration was doing, each call
// still in progress, and each slot's callback state.
void PrintStuckCalls(const Torture& torture);
void PrintSummary(const Torture& torture, const char* label, DWORD elapsedMs,
                  const ProcessCounts& before, const ProcessCounts& after);
uint64_t ViolationCount(const Torture& torture);
