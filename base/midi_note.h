// The note rule: which MIDI note a pad key plays in a bank. The key
// translation sends it and the key maps print it, both from here.
#pragma once

#include <cstdint>

#include "include/qp240_remote.h"

// The highest note a MIDI data byte carries.
inline constexpr int64_t kHighestMidiNote = 127;

// QP240REMOTE_MIDI_NOTE_BASE + padBank * padStride + key, or -1 when that
// leaves 0..127 (a large or negative PadBank): such a key sends no message.
// Exact arithmetic, so that no wrapped product can pose as a valid note.
constexpr int32_t MidiNoteOfKey(int32_t padBank, int32_t padStride, int32_t key) {
    const int64_t note =
        QP240REMOTE_MIDI_NOTE_BASE + static_cast<int64_t>(padBank) * padStride + key;
    return note >= 0 && note <= kHighestMidiNote ? static_cast<int32_t>(note) : -1;
}
