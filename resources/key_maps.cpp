// Writes the key maps of both keypad families as Markdown: each key where it
// sits on the keypad, with the number its picture shows, the pad it sends and
// the MIDI note it plays in bank 0, and the two Stop All keys. Everything comes
// from the variant profiles and the keypad layout, so the maps cannot drift
// from the drivers.
//
// Usage: key_maps > docs/key-maps.md   (resources/make-keypad-pictures.sh runs it)
#include <cstdio>

#include "driver/variant_profile.h"
#include "include/qp240_remote.h"
#include "resources/keypad_layout.h"

// The note a pad plays in MIDI mode; within 0..127 for every key of banks 0
// and 1, the two banks the maps show.
static int NoteOfPad(int pad) {
    return QP240REMOTE_MIDI_NOTE_BASE + pad;
}

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
        const int note = NoteOfPad(key);
        char name[16];
        NoteName(note, name, sizeof name);
        std::snprintf(out, size, "**%d**: pad %d, note %d (%s)", key + 1, key, note, name);
    }
}

static void WriteFamily(const KeypadLayout& layout) {
    const VariantProfile& profile = *layout.profile;
    std::printf("## %s.dll: the %d-key keypads (\"%s\")\n\n", profile.deliverableName,
                profile.keyCount, profile.modelName);
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
        const int note = NoteOfPad(key);
        char name[16];
        NoteName(note, name, sizeof name);
        std::printf("| %d | %d | %d (%s) | pad %d, note %d |\n", key + 1, key, note, name,
                    key + profile.padStride, NoteOfPad(profile.padStride + key));
    }
    std::printf("| STOP ALL PADS | stops all pads | none | the same |\n"
                "| STOP ALL PLISTS | stops all playlists | none | the same |\n\n");
    std::printf("Each bank moves the pads and notes up by %d, so neighbouring banks share "
                "some pads. Notes above 127 do not exist in MIDI; such keys send no note.\n\n",
                profile.padStride);
}

int main() {
    std::printf("# Key maps\n\n"
                "Which key does what. The keypad picture in the configuration box numbers the "
                "keys from 1, left to right and top to bottom; the host numbers pads from 0, "
                "so the key labelled 1 sends pad 0. In MIDI mode each key plays a note instead "
                "of a pad (note %d + pad number; note names take middle C, note 60, as C4), "
                "on the channel chosen in the configuration box. The two pink keys send the "
                "same commands in both modes. Bank 0 is where the driver starts; a host can "
                "move to another bank.\n\n"
                "This file is written by `resources/make-keypad-pictures.sh` from the drivers' "
                "own tables.\n\n",
                QP240REMOTE_MIDI_NOTE_BASE);
    for (const KeypadLayout& layout : kKeypadLayouts)
        WriteFamily(layout);
    return 0;
}
