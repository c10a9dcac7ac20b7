#include "toolkit/list_view_moves.h"

#include "toolkit/list_view_geometry.h"

void ListViewFollow(ListViewState* state) {
    if (state->selection <= state->topIndex)
        state->topIndex = state->selection - 1;
    else if (state->selection > state->topIndex + state->visibleRows)
        state->topIndex = state->selection - state->visibleRows;
}

static int32_t Clamp(int64_t value, int64_t low, int64_t high) {
    if (value > high)
        value = high;
    if (value < low)
        value = low;
    return static_cast<int32_t>(value);
}

bool ListViewApplyMove(ListViewState* state, ListViewMove move) {
    const int32_t n = state->itemCount;
    const int32_t s = state->selection;
    const int64_t v = state->visibleRows;
    const bool forward =
        move == kListViewStepForward || move == kListViewLastItem || move == kListViewPageDown;
    if (n < 2 || (forward ? s >= n : s < 2))
        return false;
    switch (move) {
        case kListViewStepForward:
            state->selection = s + 1;
            break;
        case kListViewStepBack:
            state->selection = s - 1;
            break;
        case kListViewLastItem:
            state->selection = n;
            break;
        case kListViewFirstItem:
            state->selection = 1;
            break;
        case kListViewPageUp:
            // Page moves shift the view and the selection together.
            state->selection = Clamp(s - v, 1, s);
            state->topIndex = Clamp(state->topIndex - v, 0, INT32_MAX);
            return true;
        case kListViewPageDown:
            state->selection = Clamp(s + v, s, n);
            state->topIndex = Clamp(state->topIndex + v, 0, n - v < 0 ? 0 : n - v);
            return true;
    }
    ListViewFollow(state);
    return true;
}

bool ListViewDragTo(ListViewState* state, int32_t y) {
    if (state->pressedPart != MLV_HIT_THUMB || y == state->dragAnchor)
        return false;
    // A track no longer than the thumb leaves nowhere to drag; also keeps the
    // division below away from zero.
    const int32_t span = state->trackLength - state->thumbLength;
    if (span <= 0)
        return false;
    // (N - 1) * (y - anchor) is kept as a 32-bit product; it wraps through
    // 64 bits so that a huge list stays defined.
    const int64_t wide = static_cast<int64_t>(state->itemCount - 1) * (y - state->dragAnchor);
    const int32_t product = static_cast<int32_t>(static_cast<uint32_t>(wide));
    const int32_t step =
        ListViewRoundHalfDown(static_cast<float>(product) / static_cast<float>(span));
    int64_t target = static_cast<int64_t>(state->selection) + step;
    if (target < 1)
        target = 1;
    if (target > state->itemCount)
        target = state->itemCount;
    if (target == state->selection)
        return false;
    state->selection = static_cast<int32_t>(target);
    ListViewFollow(state);
    state->dragAnchor = y;
    return true;
}

bool ListViewRepeatActs(uint32_t tick) {
    if (tick <= 4)
        return false;
    if (tick <= 20)
        return tick % 4 == 0;
    if (tick <= 40)
        return tick % 2 == 0;
    return true;
}
