#include "engine/key_translation.h"

#include <cstring>

#include "driver/driver_instance.h"

void TranslateSnapshot(DriverInstance* instance, const uint8_t* snapshot) {
    std::memcpy(instance->previousKeyStates, snapshot, sizeof instance->previousKeyStates);
}
