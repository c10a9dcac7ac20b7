# Keypad input engine. The core builds natively too (sanitizer tests).
set(KOLMAR_ENGINE_CORE_SOURCES
    engine/host_call.cpp
    engine/instance_lifetime.cpp
    engine/key_translation.cpp
    engine/keypad_engine.cpp
    engine/report_intake.cpp
    engine/report_queue.cpp
    engine/status_exchange.cpp)
set(KOLMAR_ENGINE_WINDOWS_SOURCES
    engine/polling_wait.cpp
    engine/worker_control.cpp
    engine/worker_thread.cpp)
