// The configuration box as a host shows it: the simulator opens the box of a
// deliverable inside a host window of its own, clicks its two fields as a user
// would, and saves what the box shows as a PNG picture.
#pragma once

#include <vector>
#include <windows.h>

#include "tools/common/window_picture.h"
#include "tools/host_simulator/deliverable.h"

// A plain top-level window playing the host's document window; its client area
// holds a box of the given size at (kHostMargin, kHostMargin).
inline constexpr int kHostMargin = 20;
HWND CreateSimulatedHostWindow(int boxWidth, int boxHeight);
// Delivers every message waiting for this thread's windows.
void PumpHostMessages();

// The box in `host`: the host's child window, which only an open of a box
// makes; null when there is none.
HWND FindConfigBox(HWND host);
// Every box in `host`, from one list of its children, because a walk child by
// child, while other threads raise their boxes to the top, can meet one box
// twice or pass another by. A doubly opened box shows as one box too many.
std::vector<HWND> ConfigBoxesIn(HWND host);
// The box in `host` that this thread made, or null: its messages, clicks
// included, reach it only through this thread.
HWND OwnConfigBox(HWND host);

// The box's two fields, KEY MODE (0) and M.I.D.I. Channel (1), as a user
// finds them: by clicking over the box and watching the instance's context.
// Each is the outline a click must fall inside of, in the box's client
// pixels.
struct ConfigFields {
    RECT field[2];
};
// False when a click nowhere changes one of them. The instance's context is
// as before afterwards; the box must have been painted.
bool FindConfigFields(const Deliverable& driver, void* instance, HWND box, ConfigFields* fields);

// A left click at client (x, y) of the box, as the system delivers it.
void ClickConfigBox(HWND box, int x, int y);
// A left click at the centre of a field, and the repaint it causes.
void ClickConfigField(HWND box, const ConfigFields& fields, int field);

// `--config-box PNG [DLL]`: runs Init and Create on the DLL at `dllPath` (null:
// Kolmar32Keys.dll beside the simulator), opens the box, switches the key mode
// to MIDI and steps the channel twice, logging each call, saves the box as PNG,
// then closes and ends. The caller puts back the settings Destroy stores.
// Returns the process exit code.
int RunConfigBoxView(const char* pngPath, const char* dllPath);
