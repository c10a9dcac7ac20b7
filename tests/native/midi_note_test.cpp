// The note rule at its extremes: exact arithmetic, and -1 for every note
// outside MIDI's 0..127.
#include "base/midi_note.h"

#include <climits>

#include <gtest/gtest.h>

namespace {

TEST(MidiNoteOfKey, ExactArithmeticAtTheExtremes) {
    EXPECT_EQ(MidiNoteOfKey(0, 25, 0), 64);
    EXPECT_EQ(MidiNoteOfKey(0, 25, 29), 93);
    EXPECT_EQ(MidiNoteOfKey(2, 25, 13), 127);
    EXPECT_EQ(MidiNoteOfKey(2, 25, 14), -1);
    EXPECT_EQ(MidiNoteOfKey(-2, 25, 0), 14);
    EXPECT_EQ(MidiNoteOfKey(-3, 25, 10), -1);
    EXPECT_EQ(MidiNoteOfKey(-3, 25, 11), 0);
    EXPECT_EQ(MidiNoteOfKey(5, 12, 3), 127);
    EXPECT_EQ(MidiNoteOfKey(-6, 12, 0), -1);
    EXPECT_EQ(MidiNoteOfKey(INT32_MAX, 25, 29), -1);
    EXPECT_EQ(MidiNoteOfKey(INT32_MIN, 25, 0), -1);
}

}  // namespace
