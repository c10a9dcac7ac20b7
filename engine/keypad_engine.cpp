#include "engine/keypad_engine.h"

#include "engine/report_intake.h"

void KeypadEngineInit(KeypadEngine* engine, QP240REMOTE_Callback callback, intptr_t userValue,
                      const QP240REMOTE_Context& settings, InstanceLifetime* lifetime) {
    engine->callback = callback;
    engine->userValue = userValue;
    engine->lifetime = lifetime;
    // Relaxed: no other thread knows the instance before Create returns it.
    engine->flags.store(kInstanceCreated, std::memory_order_relaxed);
    WriteContext(&engine->settings, settings);
    ReportQueueInit(&engine->reportQueue, kProfile.keyCount);
    StatusExchangeInit(&engine->statusExchange);
}

void KeypadEngineFree(KeypadEngine* engine) {
    // An id-55 call holds the instance through the producers' guard.
    ReportIntakeRetire(engine);
    ReportQueueFree(&engine->reportQueue);
    StatusExchangeFree(&engine->statusExchange);
}
