// Key-state snapshots into host events: pad events or one batch of MIDI
// messages per snapshot, and the two Stop All commands. Worker thread only:
// every host call is made there, and the previous key states belong to it.
#pragma once

#include <cstdint>

#include "driver/variant_profile.h"

struct DriverInstance;

// A key's note, or -1 when 0x40 + pad number leaves the 7 bits a MIDI data
// byte carries (a large or negative PadBank): such a key sends no message.
int32_t MidiNoteOfKey(int32_t padBank, int32_t padStride, int32_t key);

// Sends the snapshot's events (KeyMode read once; the channel once per MIDI
// snapshot; PadBank once per changed pad key), then keeps the snapshot as the
// previous key states.
void TranslateSnapshot(DriverInstance* instance, const uint8_t* snapshot);
