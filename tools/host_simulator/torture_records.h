// The torture's records: the state of one DLL's run, shared by its actors
// (torture_actors.h), its checks (torture_checks.h) and its orchestration
// (torture.cpp), and the seeded random generator behind every decision.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>

#include "exports/export_list.h"
#include "include/qp240_remote.h"
#include "tools/host_simulator/deliverable.h"
#include "tools/host_simulator/torture.h"

struct KeypadFamily;

inline constexpr int kTortureSlots = 3;          // instances driven at once
inline constexpr int kTortureDriverThreads = 3;  // host threads calling the instance exports
inline constexpr int kTortureBoxThreads = 2;     // host threads with windows of their own
inline constexpr int kNoSlot = -1;               // a call made with no instance of the slots

enum TortureCall {
#define KOLMAR_TORTURE_CALL(name) kCall##name,
    KOLMAR_EXPORTS(KOLMAR_TORTURE_CALL)
#undef KOLMAR_TORTURE_CALL
        kCallKinds
};
extern const char* const kTortureCallNames[kCallKinds];

enum Violation {
    kOverlap,
    kWrongThread,
    kSecondWorker,
    kLateCallback,
    kRunOutlivesAnswer,
    kStatusDisagrees,
    kTwoBoxes,
    kBoxOutlivesDestroy,
    kBoxLeft,
    kMixedSettings,
    kHeapInvalid,
    kCountsChanged,
    kBadAnswer,
    kTooSlow,
    kNothingDone,
    kLibraryGone,
    kDestroyAnswers,
    kStaleHandleServed,
    kNextInstance,
    kViolationKinds
};
extern const char* const kViolationNames[kViolationKinds];

// xorshift64*: enough spread for choosing calls, and the same decisions from
// the same seed.
struct TortureRandom {
    uint64_t state;
};

inline uint32_t RandomNext(TortureRandom* random) {
    random->state ^= random->state >> 12;
    random->state ^= random->state << 25;
    random->state ^= random->state >> 27;
    return static_cast<uint32_t>((random->state * 0x2545F4914F6CDD1DULL) >> 32);
}

inline uint32_t RandomBelow(TortureRandom* random, uint32_t bound) {
    return RandomNext(random) % bound;
}

// One actor's generator: the run's seed and the actor's own salt.
inline TortureRandom RandomFor(uint32_t seed, uint32_t salt) {
    return TortureRandom{(static_cast<uint64_t>(seed) << 32 | salt) * 0x9E3779B97F4A7C15ULL | 1};
}

// One instance slot. The host's one rule about its handle is the contract's:
// no call with it begins once a Destroy of it has returned. Calls on the
// handle overlap one another and its Destroys freely; `books` guards only the
// host's own bookkeeping of the handle, a moment at a time, never across a
// call. A call begins when its thread counts itself among the holders (under
// `books`, so that it either sees the handle ended or is waited for); the DLL
// sees it a moment later, which is why a call that reaches the DLL just after
// the Destroy returned is answered as a stale handle (torture_slots.h).
struct TortureSlot {
    SRWLOCK books;
    void* instance;   // under `books`; null before the first Create and once vacated
    int32_t holders;  // under `books`: calls begun with `instance` and not back
    bool ended;       // under `books`: a Destroy of `instance` returned
    bool quiet;       // under `books`: a check wants no call but its own in flight
    // The instance's generation, carried in the user value: a callback of an
    // older one came after a Destroy of it answered 0. Written under `books`.
    std::atomic<uint32_t> generation;
    // Of the current instance: a Destroy began (calls may answer E_BAD_HANDLE
    // from then on), and how many Destroys answered 0 (exactly one must).
    std::atomic<bool> destroyBegun;
    std::atomic<int32_t> destroysDone;
    // A generation a Stop or Destroy refused on a host thread: the instance is
    // claimed and its run over or given up, so none of its callbacks may begin
    // from then on. 0: none (generations count from 1).
    std::atomic<uint32_t> silenced;
    // Callbacks of one instance come one at a time, so their decisions follow
    // one sequence from the seed (used by the callbacks only).
    TortureRandom callbackRandom;

    // The run as the callbacks show it, under `track`.
    CRITICAL_SECTION track;
    bool runOpen;            // a 50 came and its 51 not yet
    DWORD runThread;         // the thread of the open run
    uint64_t runBegan;       // sequence number of its 50
    DWORD givenUpThread;     // a worker a Stop gave up on: it makes no more calls
    bool startFailed;        // a Start answered -2000: started, with no new worker, until Stop
    uint64_t startFailedAt;  // sequence number of that -2000's note
    DWORD givenUpLeftAt;     // tick when the given-up worker's blocked callback returned; 0 while
                             // blocked
    std::atomic<int32_t> inCallback;
    std::atomic<HANDLE> openDevice;  // the keypad the host accepted and reads, or null
    std::atomic<uint32_t> openProduct;

    // What a callback of this instance blocks, so that the calls waiting for
    // it are allowed its time.
    std::atomic<uint64_t> blockedMs;    // planned block time of every block begun so far
    std::atomic<DWORD> blockEndsAt;     // tick when the block in hand ends; 0 when none
    std::atomic<DWORD> blockingThread;  // the worker whose block outlasts Stop's wait, or 0
};

// An instance that ends inside its own callback while host threads wait in
// Stop, Start and Destroy of it (torture_ambush.cpp). One at a time, armed by
// the rounds' thread and sprung by the instance's next callback.
enum AmbushWaiter : uint32_t {
    kWaitInStop = 1,
    kWaitInDestroy = 2,
    kWaitInSecondDestroy = 4,
    kWaitInStart = 8,  // waits for the run that a Stop from inside the callback ended
    kWaitAll = 15
};
struct Ambush {
    std::atomic<int> armedSlot;  // the slot whose next callback springs it, or kNoSlot
    std::atomic<uint32_t> generation;
    uint32_t waiters;  // AmbushWaiter bits, written before it is armed
    HANDLE sprung;     // the callback waits for host threads
    HANDLE stopNow;    // the callback may stop its own run
    HANDLE stopped;    // it did
    HANDLE endNow;     // the callback may destroy its instance
};

// Calls in progress at once: one per host, reading, plugging and box thread,
// and one per worker inside a callback, with room to spare.
inline constexpr int kTortureInFlight = 32;

// One call in progress, so that a run that does not end can say which calls
// never returned. Claimed by its thread's id; the other fields are written
// after the claim and read only by the watchdog, for its report.
struct InFlightCall {
    std::atomic<DWORD> thread;  // 0: free
    std::atomic<int32_t> call;  // a TortureCall
    std::atomic<int32_t> index;
    std::atomic<DWORD> start;
    std::atomic<bool> fromCallback;
};

// What one export's calls cost.
struct CallStats {
    std::atomic<uint64_t> count;
    std::atomic<uint32_t> slowestMs;
};

struct Torture {
    TortureSettings settings;
    Deliverable driver;
    const KeypadFamily* family;
    TortureSlot slots[kTortureSlots];
    std::atomic<bool> running;
    std::atomic<uint64_t> sequence;  // orders callbacks against the host's own calls
    CallStats calls[kCallKinds];
    InFlightCall inFlight[kTortureInFlight];
    std::atomic<const char*> phase;  // what the orchestration is doing, for a stuck run's report
    // What the run did; each must be above zero at the end where it says so.
    std::atomic<uint64_t> rounds, created, runs, accepted, refused, connected, events, boxesMade;
    std::atomic<uint64_t> callbackStops, callbackDestroys, callbackStarts, callbackBoxes;
    std::atomic<uint64_t> blocks, givenUp, settingsChecks, unloadCycles;
    std::atomic<uint64_t> ambushes, staleProbes;
    std::atomic<uint64_t> ambushesLate;  // the ambushed callback went on without its cue
    std::atomic<uint64_t> createCalls;   // every Create the run made, for the stale probe
    Ambush ambush;
    // Destroys take it shared; a check of two Destroys at once takes it whole,
    // so that no other Destroy writes the stored settings meanwhile.
    SRWLOCK settingsGate;
    // Each box thread's window for each slot, written before `boxesReady`: a
    // slot's boxes open in its own windows only, so that the boxes of a
    // window are its slot's instances'.
    HWND hostWindows[kTortureBoxThreads][kTortureSlots];
    HANDLE boxesReady[kTortureBoxThreads];
    HANDLE boxesFinish;  // manual-reset: box threads check their windows and end

    CRITICAL_SECTION violationLock;
    uint64_t violations[kViolationKinds];
    // The summary quotes the first of each kind. Fixed room, not the heap: a
    // violation is recorded while a broken heap may hold its lock.
    char firstOfKind[kViolationKinds][256];
};

// The callbacks have only their user value; the run they belong to is here.
extern Torture* g_torture;

inline intptr_t TortureUserValue(int slot, uint32_t generation) {
    return static_cast<intptr_t>(generation) << 4 | slot;
}
