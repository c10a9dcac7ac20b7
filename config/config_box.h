// The configuration box: a child window in a host window that shows the
// driver's identity and lets the user switch the key mode and step the channel.
#pragma once

#include "driver/driver_instance.h"

inline constexpr char kConfigBoxClassName[] = "Lorendel Remote Driver WND-CLASS";

// Runs on the thread that opened the box.
LRESULT CALLBACK ConfigBoxWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// Context calls: repaint the fields of an open box (no erase, so the static
// layer stays as it is). Does nothing without a box.
void ConfigBoxRepaintFields(DriverInstance* instance);
