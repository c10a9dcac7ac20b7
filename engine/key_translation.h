// Key-state snapshots into host events: pad events or one batch of MIDI
// messages per snapshot, and the two Stop All commands. Worker thread only:
// every host call is made there, and the previous key states belong to it.
#pragma once

#include <cstdint>

#include "base/variant_profile.h"

struct KeypadEngine;

// Sends the snapshot's events (KeyMode read once; the channel once per MIDI
// snapshot; PadBank once per changed pad key), then keeps the snapshot as the
// previous key states.
void TranslateSnapshot(KeypadEngine* engine, const uint8_t* snapshot);
