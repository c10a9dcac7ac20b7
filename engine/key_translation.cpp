#include "engine/key_translation.h"

#include <cstring>

#include "base/midi_note.h"
#include "engine/keypad_engine.h"
#include "engine/host_call.h"
#include "include/qp240_remote.h"

static constexpr uint8_t kNoteOnStatus = 0x90;
static constexpr uint8_t kNoteOffStatus = 0x80;
static constexpr uint8_t kNoteOnVelocity = 0x40;
static constexpr uint8_t kNoteOffVelocity = 0x00;

// PadBank * stride + key in 32-bit two's complement: the host gets the pad
// number as computed for every PadBank, wrapping included, and the
// arithmetic stays defined.
static int32_t PadNumber(int32_t padBank, int32_t key) {
    return static_cast<int32_t>(static_cast<uint32_t>(padBank) *
                                    static_cast<uint32_t>(kProfile.padStride) +
                                static_cast<uint32_t>(key));
}

static bool KeyChanged(const uint8_t* previous, const uint8_t* snapshot, int32_t key) {
    // Only bit 0 tells up from down; the other bits travel along unread.
    return ((previous[key] ^ snapshot[key]) & 1) != 0;
}

// The two command keys act on a press in both modes, at once; a release sends
// nothing. True when `key` is one of them.
static bool HandleCommandKey(KeypadEngine* engine, int32_t key, bool pressed) {
    int32_t code;
    if (key == kProfile.stopAllPadsKey)
        code = QP240REMOTE_CODE_STOP_ALL_PADS;
    else if (key == kProfile.stopAllPlistsKey)
        code = QP240REMOTE_CODE_STOP_ALL_PLISTS;
    else
        return false;
    if (pressed)
        CallHost(engine, code, 0, nullptr);
    return true;
}

// One pass over the snapshot in key order. Pad keys become pad events at once,
// or MIDI messages collected into one batch sent after the pass, so that the
// command keys, last in the scan, reach the host before the batch.
static void TranslateKeys(KeypadEngine* engine, const uint8_t* snapshot, bool midi) {
    const uint8_t* previous = engine->previousKeyStates;
    // The settings are read relaxed: each is a value of its own, published by
    // nothing else, and a recent one is all a snapshot needs.
    const uint8_t channel =
        midi ? static_cast<uint8_t>(engine->settings.midiChannel.load(std::memory_order_relaxed) &
                                    0x0F)
             : 0;
    // Exactly as large as a snapshot's messages can be: three per pad key.
    uint8_t batch[kMaxMidiBytesPerSnapshot];
    int32_t used = 0;
    for (int32_t key = 0; key < kProfile.keyCount; ++key) {
        if (!KeyChanged(previous, snapshot, key))
            continue;
        const bool pressed = (snapshot[key] & 1) != 0;
        if (HandleCommandKey(engine, key, pressed))
            continue;
        const int32_t padBank = engine->settings.padBank.load(std::memory_order_relaxed);
        if (!midi) {
            CallHost(engine, pressed ? QP240REMOTE_CODE_PAD_PRESSED : QP240REMOTE_CODE_PAD_RELEASED,
                     PadNumber(padBank, key), nullptr);
            continue;
        }
        const int32_t note = MidiNoteOfKey(padBank, kProfile.padStride, key);
        if (note < 0)
            continue;
        batch[used++] = static_cast<uint8_t>((pressed ? kNoteOnStatus : kNoteOffStatus) | channel);
        batch[used++] = static_cast<uint8_t>(note);
        batch[used++] = pressed ? kNoteOnVelocity : kNoteOffVelocity;
    }
    if (used > 0)
        CallHost(engine, QP240REMOTE_CODE_MIDI_BYTES, used, batch);
}

void TranslateSnapshot(KeypadEngine* engine, const uint8_t* snapshot) {
    TranslateKeys(engine, snapshot,
                  engine->settings.keyMode.load(std::memory_order_relaxed) ==
                      QP240REMOTE_KEY_MODE_MIDI);
    std::memcpy(engine->previousKeyStates, snapshot, sizeof engine->previousKeyStates);
}
