// The torture's records: the state of one DLL's run, shared by its actors
// (torture_actors.h), its checks (torture_checks.h) and its orchestration
// (torture.cpp), and the seeded random generator behind every decision.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>

#include "driver/export_list.h"
#include "include/qp240_remote.h"
#include "tools/host_simulator/deliverable.h"
#include "tools/host_simulator/torture.h"

struct VariantProfile;

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

// One instance slot. Any call with the handle holds `lock` shared; Destroy and
// Create hold it exclusive, as a host never calls with a handle while its
// Destroy runs.
struct TortureSlot {
    SRWLOCK lock;
    void* instance;  // under `lock`; null between a Destroy and the next Create
    // The instance's generation, carried in the user value: a callback of an
    // older one came after its Destroy.
    std::atomic<uint32_t> generation;
    // Callbacks of one instance come one at a time, so their decisions follow
    // one sequence from the seed (used by the callbacks only).
    TortureRandom callbackRandom;

    // The run as the callbacks show it, under `track`.
    CRITICAL_SECTION track;
    bool runOpen;         // a 50 came and its 51 not yet
    DWORD runThread;      // the thread of the open run
    uint64_t runBegan;    // sequence number of its 50
    DWORD givenUpThread;  // a worker a Stop gave up on: it makes no more calls
    bool startFailed;     // a Start answered -2000: started, with no new worker, until Stop
    DWORD givenUpLeftAt;  // tick when the given-up worker's blocked callback returned; 0 while
                          // blocked
    std::atomic<int32_t> inCallback;
    // The keypad's reading thread holds the instance without the lock, so
    // that a writer waiting for the lock never holds it up: it counts itself
    // in, and Create and Destroy bar it for their own time only.
    std::atomic<int32_t> readersIn;
    std::atomic<bool> readersBarred;
    std::atomic<HANDLE> openDevice;  // the keypad the host accepted and reads, or null
    std::atomic<uint32_t> openProduct;

    // What a callback of this instance blocks, so that the calls waiting for
    // it are allowed its time.
    std::atomic<uint64_t> blockedMs;  // planned block time of every block begun so far
    std::atomic<DWORD> blockEndsAt;   // tick when the block in hand ends; 0 when none
    std::atomic<bool> blockingLong;   // the block in hand outlasts Stop's wait
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
    const VariantProfile* family;
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
    // Destroys take it shared; a check of two Destroys at once takes it whole,
    // so that no other Destroy writes the stored settings meanwhile.
    SRWLOCK settingsGate;
    HWND hostWindows[kTortureBoxThreads];  // written by each box thread before `boxesReady`
    HANDLE boxesReady[kTortureBoxThreads];
    HANDLE boxesFinish;  // manual-reset: box threads check their windows and end

    CRITICAL_SECTION violationLock;
    uint64_t violations[kViolationKinds];
    std::string firstOfKind[kViolationKinds];  // the summary quotes the first of each kind
};

// The callbacks have only their user value; the run they belong to is here.
extern Torture* g_torture;

inline intptr_t TortureUserValue(int slot, uint32_t generation) {
    return static_cast<intptr_t>(generation) << 4 | slot;
}
