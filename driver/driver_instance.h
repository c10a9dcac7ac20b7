// The record behind the opaque handle the host holds for each driver instance.
// It opens with the deliverable's GUID, which the handle check compares.
#pragma once

#include <atomic>
#include <cstdint>
#include <cstring>

#include "config/config_box_layout.h"
#include "include/qp240_remote.h"
#include "base/platform_types.h"
#include "base/variant_profile.h"
#include "engine/report_queue.h"
#include "engine/status_exchange.h"

inline constexpr uint32_t kInstanceCreated = 1u << 0;
inline constexpr uint32_t kInstanceStarted = 1u << 1;

// The 12-byte record of the context calls (key mode, MIDI channel, PadBank),
// laid out where hosts read it.

// The configuration box's window state (config/config_box.cpp).
struct ConfigBoxState {
    // Guards `window` and `parent`, and is held by the box's thread while a
    // message of its works on the instance; per instance, so boxes of different
    // instances paint at the same time. Nothing under it waits for another
    // thread or sends a message to another thread's window.
    SRWLOCK lock;
    // Under `lock`: written by the box's own creation and destruction and by
    // the host calls that close or forget it. While a box is bound, it holds
    // the record (engine/instance_lifetime.h).
    HWND window;  // the box while it is bound to this instance, else null
    HWND parent;  // parent given to the open that made the box
    // Box thread only, under `lock`: where the fields were painted last; zero
    // until the first paint.
    FieldRect modeField;
    FieldRect channelField;
};

// One worker run, from the Start that makes its thread to the worker's end
// step. Under the instance's lifecycle lock.
struct WorkerRun {
    HANDLE thread;    // the worker thread while the run lives; closed by its end step
    DWORD threadId;   // a call made on it comes from inside one of its callbacks
    uint32_t number;  // runs made so far; a wait or a give-up names the run it meant
    bool live;        // from the Start that made the thread until the worker's end step
};

// The callback gate's bits (DriverInstance::callbackGate).
inline constexpr uint32_t kGateClosed = 1;  // no callback of the run may begin
inline constexpr uint32_t kGateInCall = 2;  // a callback has begun and not yet returned

struct DriverInstance {
    // The deliverable's GUID, as two words: written by Create and cleared when
    // the record is freed, read by the handle check of any thread, which may
    // be a stale handle's; relaxed, as values that order nothing.
    std::atomic<uint64_t> signature[2];
    // Changed only under the lifecycle lock; read without it by the handle
    // check and the driver status, relaxed, as a value that orders nothing.
    std::atomic<uint32_t> flags;    // kInstanceCreated, kInstanceStarted
    ConfigBoxState configBox;       // the configuration box and where it painted its fields
    QP240REMOTE_Callback callback;  // every host notification goes through it
    intptr_t userValue;             // first argument of every callback call

    // Settings: written whole by the context calls and the box (host threads),
    // read whole by the worker; relaxed is enough, since each is an independent
    // value and the worker only needs to see some recent one.
    std::atomic<int32_t> keyMode;
    std::atomic<int32_t> midiChannel;
    std::atomic<int32_t> padBank;

#if KOLMAR_KEY_COUNT == 15
    // Written by the worker at every offer, read by id-55 calls: atomic, since
    // a late id-55 call of an earlier connection may read it while the worker
    // records the next offer (that call is then refused under the producers'
    // guard). Relaxed: the connected flag's release/acquire pair orders the
    // value that matters, the one recorded before the flag was raised.
    std::atomic<uint32_t> productId;  // USB product id of the keypad offered last
#endif

    // Worker only.
    HostStatusBlock statusBlock;                   // the host's status as last handed over
    uint8_t previousKeyStates[kProfile.keyCount];  // snapshot translated last
    const uint8_t* lastConsumedStatusSlot;         // slot the reader copied last, or null
    int32_t connections;                           // keypads connected so far, this one included

    // Shared by their own rules: id-55 calls on host threads produce into the
    // ring and the worker consumes (engine/report_queue.h); id-56 calls write
    // into the exchange and the worker reads (engine/status_exchange.h).
    ReportQueue reportQueue;
    HostStatusExchange statusExchange;

    // Start, Stop and Destroy serialised per instance (engine/worker_control.h):
    // the started bit, the host threads' writes of the run flag, `run`,
    // Destroy's claim, the closing of the callback gate and the host threads'
    // writes of the connected flag happen only under it. Never held across a
    // host call or anything that needs the loader lock; a wait for a run's end
    // lets go of it while it sleeps.
    SRWLOCK lifecycleLock;
    CONDITION_VARIABLE runEnded;  // woken, under the lock, at the end of every run
    WorkerRun run;                // the latest run

    // Shared between the worker and host threads.
    std::atomic<HANDLE> deviceHandle;  // keypad the host accepted, or null
    std::atomic<int32_t> runFlag;      // 1 while the worker is to keep running
    // 0 while no keypad is accepted, else the number of its connection, so that
    // an id-55 call held up across a reconnection of the same keypad is told
    // apart. Written by the worker; set to 0 by the Start that makes a run
    // and by a Stop that gives the worker up, under the lifecycle lock.
    std::atomic<int32_t> connectedFlag;

    // Host threads making id-55 calls: held while one of them is at work, so
    // that the ring keeps one producer at a time; it is also that call's hold
    // on the record, retired when the record is freed (engine/report_intake.h).
    std::atomic<int32_t> producerGuard;

    // Lifetime (engine/instance_lifetime.h): kClaimed, kFreed, + kHold per holder.
    std::atomic<uint32_t> holders;
    // The worker's callbacks pass it (engine/host_call.h): kGateInCall while
    // one runs; kGateClosed once Stop gave the run up or Destroy ran, after
    // which no callback begins. Reopened by the Start that makes the next run.
    std::atomic<uint32_t> callbackGate;
    void* workerLibrary;  // this library, held by the worker so its code outlives
                          // an unload; written by Start before the thread runs

    // Whoever frees the record, under the quarantine's guard.
    DriverInstance* quarantineNext;  // the next record freed after this one
    uint32_t quarantineStamp;        // Creates made before this record was freed
};

// The signature's two words from the 16 bytes of a GUID.
inline void WriteSignature(DriverInstance* instance, const uint8_t (&guid)[16]) {
    uint64_t words[2];
    std::memcpy(words, guid, sizeof words);
    instance->signature[0].store(words[0], std::memory_order_relaxed);
    instance->signature[1].store(words[1], std::memory_order_relaxed);
}

inline bool SignatureIs(const DriverInstance* instance, const uint8_t (&guid)[16]) {
    uint64_t words[2];
    std::memcpy(words, guid, sizeof words);
    return instance->signature[0].load(std::memory_order_relaxed) == words[0] &&
           instance->signature[1].load(std::memory_order_relaxed) == words[1];
}

// The product id is kept only by the 15-key family, whose report layout
// depends on it; the 32-key record has no such field.
inline void RecordProductId([[maybe_unused]] DriverInstance* instance,
                            [[maybe_unused]] uint32_t productId) {
#if KOLMAR_KEY_COUNT == 15
    instance->productId.store(productId, std::memory_order_relaxed);
#endif
}

inline uint32_t RecordedProductId([[maybe_unused]] const DriverInstance* instance) {
#if KOLMAR_KEY_COUNT == 15
    return instance->productId.load(std::memory_order_relaxed);
#else
    return 0;
#endif
}

// The worker, as the last step of a connection before code 60: the connection's
// number in the connected flag. Release pairs with the acquire loads in
// ReportIntake and GetDriverStatus: a thread that sees the number also sees the
// device handle, the product id and the emptied ring stored before it.
inline void RaiseConnectedFlag(DriverInstance* instance) {
    // Never 0, which means no keypad; wraps after 2^31 - 1 connections.
    instance->connections = instance->connections == INT32_MAX ? 1 : instance->connections + 1;
    instance->connectedFlag.store(instance->connections, std::memory_order_release);
}

inline QP240REMOTE_Context ReadContext(const DriverInstance* instance) {
    return QP240REMOTE_Context{instance->keyMode.load(std::memory_order_relaxed),
                               instance->midiChannel.load(std::memory_order_relaxed),
                               instance->padBank.load(std::memory_order_relaxed)};
}

inline void WriteContext(DriverInstance* instance, const QP240REMOTE_Context& context) {
    instance->keyMode.store(context.keyMode, std::memory_order_relaxed);
    instance->midiChannel.store(context.midiChannel, std::memory_order_relaxed);
    instance->padBank.store(context.padBank, std::memory_order_relaxed);
}
