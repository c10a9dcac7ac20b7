// The configuration box: a child window in a host window that shows the
// driver's identity and lets the user switch the key mode and step the channel.
//
// It paints in two layers: the static layer (black ground, keypad picture,
// title, model, version) when its background is erased, and the two fields on
// every paint. Repaints the driver asks for invalidate without erasing, so only
// the fields are drawn again, each over a black fill that hides its old text.
// The box's messages run on the thread that opened it; the host calls that
// open, move, close or repaint it may come from any thread.
#pragma once

#include "base/platform_types.h"
#include "config/config_box_state.h"

inline constexpr char kConfigBoxClassName[] = "Lorendel Remote Driver WND-CLASS";

// The keypad picture (bitmap QP240REMOTE_KEYPAD_PICTURE_ID) the static layer
// shows, or null: loaded by Init and deleted by End, both under the toolkit's
// retirement guard, so a box painting on another thread finds it whole or gone.
extern HBITMAP g_keypadPicture;

// Window slot 0 holds the box's ConfigBoxState from WM_CREATE until the box is
// closed or destroyed; while it does, the box holds the instance.
LRESULT CALLBACK ConfigBoxWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// The static layer, drawn on `dc` over the window's client rectangle. Returns
// 1 (background erased).
int PaintConfigBackground(HWND window, HDC dc);
// The two fields, drawn on `dc`; stores their rectangles in the box's record
// as the click targets.
void PaintConfigFields(ConfigBoxState* box, HWND window, HDC dc);
// A left-button press at client (x, y): a hit inside a field toggles the key
// mode or advances the channel and repaints the fields. Writes no registry.
void HandleConfigClick(ConfigBoxState* box, HWND window, int32_t x, int32_t y);

// Context calls: repaint the fields of an open box (no erase, so the static
// layer stays as it is). Does nothing without a box.
void ConfigBoxRepaintFields(ConfigBoxState* box);

// The instance's box, or null. A box that went without its WM_DESTROY (its
// thread ended with it open) is forgotten here, and never taken for a window
// that since came to carry its handle.
HWND ConfigBoxOf(ConfigBoxState* box);

// OpenConfigBox after its handle check: 0 a box was made, 1 the open box was
// moved, placed on top and shown, QP240REMOTE_E_NO_WINDOW no window could be
// made, QP240REMOTE_E_BAD_HANDLE a Destroy overtook the open (no box is left).
// Of several opens at once on several threads one makes the box; the others
// answer 1. An open whose box another thread closed while it moved it makes a
// new one. The box's messages run on the thread that made it. `module` is the
// one the box class was registered with.
int32_t ConfigBoxOpen(ConfigBoxState* box, HMODULE module, HWND parent, int32_t x, int32_t y,
                      int32_t width, int32_t height);

// CloseConfigBox and Destroy: 0 the instance's box was unbound, forgotten and
// destroyed (from a thread other than its own: its thread is asked to destroy
// it); 1 there was none. Of two closes at once one answers 0.
int32_t ConfigBoxClose(ConfigBoxState* box);

// Init and End: the box's window class, registered with the library's module
// (one pointer-sized window slot, the arrow cursor, no background brush).
// True when done.
bool ConfigBoxRegisterClass(HMODULE module);
bool ConfigBoxUnregisterClass(HMODULE module);
