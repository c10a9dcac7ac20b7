# Driver interface: exports, library state, instance record and handle check.
set(KOLMAR_DRIVER_CORE_SOURCES
    driver/instance_record.cpp)
set(KOLMAR_DRIVER_WINDOWS_SOURCES
    driver/exports.cpp
    driver/handle_check.cpp
    driver/library_state.cpp
    driver/stack_guard.cpp)
