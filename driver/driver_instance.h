// The record behind the opaque handle the host holds for each driver instance.
// It opens with the deliverable's GUID, which the handle check compares, and
// embeds the records of the layers below: the engine's, the configuration
// box's and the lifetime record both of them hold the instance through. Made
// and freed by driver/instance_record.h; only driver/ knows it whole.
#pragma once

#include <atomic>
#include <cstdint>
#include <cstring>

#include "config/config_box_state.h"
#include "engine/instance_lifetime.h"
#include "engine/keypad_engine.h"

struct DriverInstance {
    // The deliverable's GUID, as two words: written by Create and cleared when
    // the record is freed, read by the handle check of any thread, which may
    // be a stale handle's; relaxed, as values that order nothing.
    std::atomic<uint64_t> signature[2];
    KeypadEngine engine;        // the host link, the settings, the ring, the worker's runs
    ConfigBoxState configBox;   // the configuration box and where it painted its fields
    InstanceLifetime lifetime;  // the holds on this record; its free is instance_record.cpp's

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
