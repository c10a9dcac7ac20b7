// Writes the key maps of both keypad families as Markdown, for the people who
// play the keypads: each key where it sits on the keypad, with the number its
// picture shows, the pad it sends and the MIDI note it plays in bank 0, the two
// Stop All keys, and which keys still play a note in each bank. Everything
// comes from the variant profiles, the keypad layout and the note rule the
// drivers' key translation sends by (base/midi_note.h: a note above 127 is not
// sent), read from the same headers, so the maps cannot drift from the drivers.
//
// Usage: key_maps > docs/key-maps.md   (resources/make-keypad-pictures.sh runs it)
#include <cstdio>

#include "base/midi_note.h"
#include "base/variant_profile.h"
#include "include/qp240_remote.h"
#include "resources/keypad_layout.h"

// "E4": the note's name, with middle C (60) as C4.
static void NoteName(int note, char* out, size_t size) {
    static const char* const kNames[12] = {"C",  "C#", "D",  "D#", "E",  "F",
                                           "F#", "G",  "G#", "A",  "A#", "B"};
    std::snprintf(out, size, "%s%d", kNames[note % 12], note / 12 - 1);
}

// What key `key` does, as a table cell: "**4**: pad 3, note 67".
static void KeyCell(const VariantProfile& profile, int key, char* out, size_t size) {
    if (key == profile.stopAllPadsKey) {
        std::snprintf(out, size, "**STOP ALL PADS**");
    } else if (key == profile.stopAllPlistsKey) {
        std::snprintf(out, size, "**STOP ALL PLISTS**");
    } else {
        const int note = MidiNoteOfKey(0, profile.padStride, key);
        char name[16];
        NoteName(note, name, sizeof name);
        std::snprintf(out, size, "**%d**: pad %d, note %d (%s)", key + 1, key, note, name);
    }
}

// Bank by bank from 0, up to the first in which no key plays a note: the pads
// and the keys whose notes the driver sends (a key whose note would lie
// outside MIDI's 0..127 sends nothing).
static void WriteBanks(const VariantProfile& profile) {
    std::printf("Only QP240 changes the bank; the keypad and the configuration box cannot. Each "
                "bank moves the pads and notes up by %d, so neighbouring banks share some pads. "
                "MIDI has no notes above 127: in MIDI mode, a key whose note would lie above 127 "
                "sends nothing (in the pad protocol it still plays its pad).\n\n",
                profile.padStride);
    std::printf(
        "| Bank | Pads of keys 1 to %d | Keys that play a note in MIDI mode | Their notes |\n"
        "|---|---|---|---|\n",
        profile.padKeyCount);
    for (int bank = 0;; ++bank) {
        const int firstPad = bank * profile.padStride;
        int first = -1, last = -1;  // keys with a note
        for (int key = 0; key < profile.padKeyCount; ++key) {
            if (MidiNoteOfKey(bank, profile.padStride, key) < 0)
                continue;
            if (first < 0)
                first = key;
            last = key;
        }
        if (first < 0) {
            std::printf("| %d and above | %d and up | none | none |\n\n", bank, firstPad);
            return;
        }
        const bool all = first == 0 && last == profile.padKeyCount - 1;
        std::printf("| %d | %d to %d | %s%d to %d | %d to %d |\n", bank, firstPad,
                    firstPad + profile.padKeyCount - 1, all ? "all, " : "only ", first + 1,
                    last + 1, MidiNoteOfKey(bank, profile.padStride, first),
                    MidiNoteOfKey(bank, profile.padStride, last));
    }
}

static void WriteFamily(const KeypadLayout& layout) {
    const VariantProfile& profile = *layout.profile;
    std::printf("## %s.dll: the %d-key keypads (\"%s\")\n\n", profile.deliverableName,
                profile.keyCount, profile.modelName);
    std::printf("![The %d-key keypad in the configuration box: the numbers on its keys are the "
                "ones used below](config-box-%dkeys.png)\n\n",
                profile.keyCount, profile.keyCount);
    std::printf("The keys as they sit on the keypad, %d rows of %d:\n\n",
                profile.keyCount / layout.columns, layout.columns);
    for (int column = 0; column < layout.columns; ++column)
        std::printf("|   ");
    std::printf("|\n");
    for (int column = 0; column < layout.columns; ++column)
        std::printf("|---");
    std::printf("|\n");
    for (int key = 0; key < profile.keyCount; ++key) {
        char cell[96];
        KeyCell(profile, key, cell, sizeof cell);
        std::printf("| %s ", cell);
        if (key % layout.columns == layout.columns - 1 || key == profile.keyCount - 1)
            std::printf("|\n");
    }
    std::printf("\n| Key on the picture | Pad (bank 0) | MIDI note (bank 0) | In bank 1 |\n"
                "|---|---|---|---|\n");
    for (int key = 0; key < profile.padKeyCount; ++key) {
        const int note = MidiNoteOfKey(0, profile.padStride, key);
        char name[16];
        NoteName(note, name, sizeof name);
        std::printf("| %d | %d | %d (%s) | pad %d, note %d |\n", key + 1, key, note, name,
                    key + profile.padStride, MidiNoteOfKey(1, profile.padStride, key));
    }
    std::printf("| STOP ALL PADS | stops all pads | none | the same |\n"
                "| STOP ALL PLISTS | stops all playlists | none | the same |\n\n");
    WriteBanks(profile);
}

int main() {
    std::printf("# Key maps\n\n"
                "Which key does what. The keypad picture in the configuration box numbers the "
                "keys from 1, left to right and top to bottom; QP240 numbers pads from 0, "
                "so the key labelled 1 sends pad 0. In MIDI mode each key plays a note instead "
                "of a pad (note %d + pad number; note names take middle C, note 60, as C4), "
                "on the channel chosen in the configuration box. The last two keys, bottom "
                "right (pink in the picture), send the same commands in both modes. The driver "
                "starts in bank 0; QP240 can move the keypad to another bank.\n\n",
                QP240REMOTE_MIDI_NOTE_BASE);
    for (const KeypadLayout& layout : kKeypadLayouts)
        WriteFamily(layout);
    return 0;
}
