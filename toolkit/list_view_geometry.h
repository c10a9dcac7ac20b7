// The list-view's arithmetic that needs no window: geometry, the thumb offset
// and the hit test. The window procedure calls these on its own thread.
#pragma once

#include <cstdint>

#include "toolkit/list_view.h"

// Presses on the rows count from this many pixels below the client top, though
// rows are drawn from y = 0.
inline constexpr int32_t kListViewHitRowOffset = 3;
// A page area this high or lower counts as thumb.
inline constexpr int32_t kListViewPageAreaMin = 25;

// Derives X, the track, L, V and the bar flag from W, H, B, R and the style.
void ListViewDeriveGeometry(ListViewState* state);

// Rounds like the thumb: floor, plus 1 when the fraction is above one half
// (2.5 gives 2, -1.5 gives -2).
int32_t ListViewRoundHalfDown(float value);

// Pixels from the track top to the thumb: where S lies within the list.
int32_t ListViewThumbOffset(const ListViewState* state);

// The track while the bar flag is not 1: neither a row nor a part.
inline constexpr int32_t kListViewHitHiddenTrack = 0x80000;

// A screen row (0..V) left of the bar, else an MLV_HIT_* part, or
// kListViewHitHiddenTrack.
int32_t ListViewHitTest(const ListViewState* state, int32_t x, int32_t y);

// True for the five scroll-bar part codes.
bool ListViewIsBarPart(int32_t part);
