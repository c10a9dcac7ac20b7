// How the list-view's selection and top index move: the follow rule, the six
// moves, the thumb drag step and the auto-repeat schedule. No window needed;
// the window procedure repaints and notifies after a move that happened.
#pragma once

#include <cstdint>

#include "toolkit/list_view.h"

enum ListViewMove {
    kListViewStepForward,
    kListViewStepBack,
    kListViewLastItem,
    kListViewFirstItem,
    kListViewPageUp,
    kListViewPageDown,
};

// Scrolls the least that shows S: S becomes the first visible row when above
// the view, the last when below.
void ListViewFollow(ListViewState* state);

// False, and nothing changed, when the move's precondition fails (fewer than
// two items, or already at the end it moves toward).
bool ListViewApplyMove(ListViewState* state, ListViewMove move);

// One mouse move while the thumb is held, at client y. True when S changed;
// the anchor then moves to y. Small moves leave the anchor so that they add
// up until they are worth an item.
bool ListViewDragTo(ListViewState* state, int32_t y);

// A held arrow repeats through this window timer.
inline constexpr uint32_t kListViewRepeatTimerId = 3206;
inline constexpr uint32_t kListViewRepeatPeriodMs = 30;

// Whether repeat tick n (0 at the arrow press) moves the list: ticks 8, 12,
// 16 and 20, the even ticks 22 to 40, and every tick from 41 on.
bool ListViewRepeatActs(uint32_t tick);
