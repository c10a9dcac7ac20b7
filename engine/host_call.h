// Every call the worker makes to the host goes through here.
#pragma once

#include "engine/keypad_engine.h"

#ifdef KOLMAR_TEST_SEAMS
// Test seam of the test builds (the deliverables have none): called by the
// worker just before it tries the gate for a callback.
extern void (*g_beforeCallbackGate)(KeypadEngine* engine, int32_t code);
#endif

// Calls the host's callback with the instance's user value, unless the gate is
// closed: a run that Stop gave up on, or whose instance Destroy ran, makes no
// further callbacks (the host has finished with the instance, and its user
// value may no longer mean anything). Such a call answers 0 (an offer counts
// as refused). The test of the gate and the mark of a callback in hand are one
// step, so a Stop that gives up either finds the callback in hand or keeps it
// from beginning; the callback in hand may finish.
inline int32_t CallHost(KeypadEngine* engine, int32_t code, int32_t argument, void* pointer) {
#ifdef KOLMAR_TEST_SEAMS
    if (g_beforeCallbackGate != nullptr)
        g_beforeCallbackGate(engine, code);
#endif
    // Only the worker sets kGateInCall, so an open gate is 0 here. Acquire
    // pairs with the release in GateClose: a closing seen is final.
    uint32_t open = 0;
    if (!engine->callbackGate.compare_exchange_strong(open, kGateInCall, std::memory_order_acquire))
        return 0;
    const int32_t answer = engine->callback(engine->userValue, code, argument, pointer);
    // Release: what the callback did is ordered before a give-up that sees the
    // gate idle. A closing that came meanwhile stays.
    engine->callbackGate.fetch_and(~kGateInCall, std::memory_order_release);
    return answer;
}

// Stop's give-up and Destroy: no callback of the run begins after this. True
// when a callback was in hand at that moment.
inline bool GateClose(KeypadEngine* engine) {
    // Release pairs with the acquire in CallHost and WorkerAbandoned.
    return (engine->callbackGate.fetch_or(kGateClosed, std::memory_order_acq_rel) & kGateInCall) !=
           0;
}

// True once Stop gave the running worker up or Destroy ran.
inline bool WorkerAbandoned(const KeypadEngine* engine) {
    // Acquire pairs with the release in GateClose.
    return (engine->callbackGate.load(std::memory_order_acquire) & kGateClosed) != 0;
}
