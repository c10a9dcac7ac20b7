// The engine's record of one instance: the host link, the settings, the report
// ring, the status exchange and the state of the worker's runs. The driver
// embeds it in the record behind a host's handle, with the lifetime record it
// points to; the engine knows nothing of that record.
#pragma once

#include <atomic>
#include <cstdint>

#include "base/platform_types.h"
#include "base/variant_profile.h"
#include "engine/instance_lifetime.h"
#include "engine/instance_settings.h"
#include "engine/raw_input.h"
#include "engine/report_queue.h"
#include "engine/status_exchange.h"
#include "include/qp240_remote.h"

// The instance's flags (KeypadEngine::flags).
inline constexpr uint32_t kInstanceCreated = 1u << 0;
inline constexpr uint32_t kInstanceStarted = 1u << 1;

// One worker run, from the Start that makes its thread to the worker's end
// step. Under the lifecycle lock.
struct WorkerRun {
    HANDLE thread;    // the worker thread while the run lives; closed by its end step
    DWORD threadId;   // a call made on it comes from inside one of its callbacks
    uint32_t number;  // runs made so far; a wait or a give-up names the run it meant
    bool live;        // from the Start that made the thread until the worker's end step
};

// The callback gate's bits (KeypadEngine::callbackGate).
inline constexpr uint32_t kGateClosed = 1;  // no callback of the run may begin
inline constexpr uint32_t kGateInCall = 2;  // a callback has begun and not yet returned

struct KeypadEngine {
    // Changed only under the lifecycle lock; read without it by the handle
    // check and the driver status, relaxed, as a value that orders nothing.
    std::atomic<uint32_t> flags;  // kInstanceCreated, kInstanceStarted
    // The host link: every host notification goes through it
    // (engine/host_call.h), with the user value as its first argument.
    QP240REMOTE_Callback callback;
    intptr_t userValue;
    InstanceSettings settings;
    // The instance's holds (engine/instance_lifetime.h); set by its maker.
    InstanceLifetime* lifetime;

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
    // on the instance, retired when the instance is freed
    // (engine/report_intake.h).
    std::atomic<int32_t> producerGuard;

    // The worker's callbacks pass it (engine/host_call.h): kGateInCall while
    // one runs; kGateClosed once Stop gave the run up or Destroy ran, after
    // which no callback begins. Reopened by the Start that makes the next run.
    std::atomic<uint32_t> callbackGate;
    // Written by Start before the thread runs, read by the worker.
    void* workerLibrary;     // this library, held by the worker so its code outlives an unload
    RawInputCalls rawInput;  // the driver's raw-input functions, as Start was handed them
};

// Create's part: `engine`, zeroed by the caller, bound to the host's callback
// and user value and to `lifetime`, created, with the given settings, its
// report queue and its status exchange (either may lack its storage; the
// engine works all the same, dropping what it cannot keep).
void KeypadEngineInit(KeypadEngine* engine, QP240REMOTE_Callback callback, intptr_t userValue,
                      const QP240REMOTE_Context& settings, InstanceLifetime* lifetime);
// The free's part, once no worker runs and no other holder is left: retires
// the producers' guard (waiting for an id-55 call inside it) and releases the
// queue and the exchange.
void KeypadEngineFree(KeypadEngine* engine);

// The product id is kept only by the 15-key family, whose report layout
// depends on it; the 32-key record has no such field.
inline void RecordProductId([[maybe_unused]] KeypadEngine* engine,
                            [[maybe_unused]] uint32_t productId) {
#if KOLMAR_KEY_COUNT == 15
    engine->productId.store(productId, std::memory_order_relaxed);
#endif
}

inline uint32_t RecordedProductId([[maybe_unused]] const KeypadEngine* engine) {
#if KOLMAR_KEY_COUNT == 15
    return engine->productId.load(std::memory_order_relaxed);
#else
    return 0;
#endif
}

// The worker, as the last step of a connection before code 60: the connection's
// number in the connected flag. Release pairs with the acquire loads in
// ReportIntake and GetDriverStatus: a thread that sees the number also sees the
// device handle, the product id and the emptied ring stored before it.
inline void RaiseConnectedFlag(KeypadEngine* engine) {
    // Never 0, which means no keypad; wraps after 2^31 - 1 connections.
    engine->connections = engine->connections == INT32_MAX ? 1 : engine->connections + 1;
    engine->connectedFlag.store(engine->connections, std::memory_order_release);
}
