// Key-state snapshots into host events: pad events or batched MIDI messages,
// and the two Stop All commands. Worker thread only.
#pragma once

#include <cstdint>

struct DriverInstance;

// Sends the snapshot's events, then keeps it as the previous key states.
void TranslateSnapshot(DriverInstance* instance, const uint8_t* snapshot);
