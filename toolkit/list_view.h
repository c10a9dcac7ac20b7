// The toolkit's mini list-view: an owner-drawn vertical list with its own
// scroll bar, for any owner window. The toolkit registers its class.
#pragma once

#include "driver/platform_types.h"

// Class name owners pass to CreateWindowExA.
#define MLV_CLASS_NAME "Kolmar Mini List View"

LRESULT CALLBACK ListViewWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
