// The configuration box as a host shows it: the simulator opens the box of a
// deliverable inside a host window of its own, clicks its two fields as a user
// would, and saves what the box shows as a PNG picture.
#pragma once

#include "tools/common/window_picture.h"
#include "tools/host_simulator/deliverable.h"

// A plain top-level window playing the host's document window; its client area
// holds a box of the given size at (kHostMargin, kHostMargin).
inline constexpr int kHostMargin = 20;
HWND CreateSimulatedHostWindow(int boxWidth, int boxHeight);
// Delivers every message waiting for this thread's windows.
void PumpHostMessages();

// The box of `driver`'s instance in `host`, found as the host's child of the
// box's window class; null when there is none.
HWND FindConfigBox(HWND host);
// How many of the host's boxes are bound to `instance` (the driver's record
// in the box window's slot 0); a host with more than one is how a doubly
// opened box shows. Counted from one list of the children, because a walk
// child by child, while other threads raise their boxes to the top, can meet
// one box twice or pass another by.
int ConfigBoxesBoundTo(HWND host, const void* instance);

// A left click at the centre of the KEY MODE field (field 0) or the M.I.D.I.
// Channel field (field 1) of a box of the given client width.
void ClickConfigField(HWND box, int field);

// `--config-box PNG [DLL]`: runs Init and Create on the DLL at `dllPath` (null:
// Kolmar32Keys.dll beside the simulator), opens the box, switches the key mode
// to MIDI and steps the channel twice, logging each call, saves the box as PNG,
// then closes and ends. The caller puts back the settings Destroy stores.
// Returns the process exit code.
int RunConfigBoxView(const char* pngPath, const char* dllPath);
