// The list-view's drawing and notification calls: each fills the shared draw
// record and calls the owner's callback. The control draws nothing itself, so
// none of this needs a window; the caller supplies the device context.
#pragma once

#include <cstdint>

#include "toolkit/list_view.h"

// Calls the owner with `code` and the draw record as it stands. A control
// created without a callback simply has nobody to tell.
void ListViewNotify(ListViewState* state, int32_t code);

// WM_ERASEBKGND: the rows area (code 4), then the whole bar strip (code 5).
void ListViewEraseBackground(ListViewState* state, HDC dc);

// One call per row slot from item T + 1 (V + 1 slots, the last partly
// visible; one slot as high as the window with MLV_STYLE_SINGLE_ROW), then
// MLV_DRAW_ITEMS_DONE. Rows past N are drawn too: the owner leaves them empty.
void ListViewRowPass(ListViewState* state, HDC dc);

// The track (code 5), then the thumb (code 17 with the thumb's rectangle),
// both with `pressed` as their state.
void ListViewThumbPass(ListViewState* state, HDC dc, int32_t pressed);

// Up arrow, thumb pass, down arrow, none pressed. Page areas are drawn only
// while pressed.
void ListViewBarPass(ListViewState* state, HDC dc);

void ListViewDrawUpArrow(ListViewState* state, HDC dc, int32_t pressed);
void ListViewDrawDownArrow(ListViewState* state, HDC dc, int32_t pressed);
// These two draw nothing while their area has no height.
void ListViewDrawPageUpArea(ListViewState* state, HDC dc, int32_t pressed);
void ListViewDrawPageDownArea(ListViewState* state, HDC dc, int32_t pressed);

// MLV_SELECTION_CHANGED with item = S.
void ListViewNotifySelection(ListViewState* state);
