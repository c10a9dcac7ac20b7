#include "toolkit/list_view_geometry.h"

#include <cmath>

// The creator promises R >= 1 and creation refuses less; this keeps a row
// height the owner later writes as 0 from ever reaching a division.
static int32_t RowDivisor(const ListViewState* state) {
    return state->rowHeight < 1 ? 1 : state->rowHeight;
}

void ListViewDeriveGeometry(ListViewState* state) {
    state->barLeft = state->width - state->barWidth;
    state->trackTop = state->barWidth;
    state->trackLength = state->height - 2 * state->barWidth;
    if (state->style & MLV_STYLE_SINGLE_ROW)
        state->visibleRows = 1;
    else
        state->visibleRows = (state->height - 6) / RowDivisor(state);
    state->barShown = 1;
}

int32_t ListViewRoundHalfDown(float value) {
    // Saturates where the float leaves the integers: near 2^31 it rounds up to
    // 2^31 itself (a drag across a list of two billion items, say).
    if (value >= 2147483648.0f)
        return INT32_MAX;
    if (!(value >= -2147483648.0f))  // NaN too
        return INT32_MIN;
    const float whole = std::floor(value);
    return static_cast<int32_t>(whole) + (value - whole > 0.5f ? 1 : 0);
}

int32_t ListViewThumbOffset(const ListViewState* state) {
    if (state->itemCount < 2)
        return 0;
    // Single precision, multiplied before dividing: an owner that places the
    // thumb by the same rule lands on the same pixel.
    const float product = static_cast<float>(state->trackLength - state->thumbLength) *
                          static_cast<float>(state->selection - 1);
    return ListViewRoundHalfDown(product / static_cast<float>(state->itemCount - 1));
}

int32_t ListViewHitTest(const ListViewState* state, int32_t x, int32_t y) {
    if (x < state->barLeft) {
        int32_t row = (y - kListViewHitRowOffset) / RowDivisor(state) + 1;
        if (row < 0)
            row = 0;
        if (row > state->visibleRows)
            row = state->visibleRows;
        return row;
    }
    const int32_t b = state->barWidth;
    if (y < b)
        return MLV_HIT_UP_ARROW;
    if (y > b + state->trackLength)  // the down arrow's first drawn line is still track
        return MLV_HIT_DOWN_ARROW;
    if (state->barShown != 1)
        return kListViewHitHiddenTrack;
    const int32_t t = ListViewThumbOffset(state);
    if (y < b + t && t > kListViewPageAreaMin)
        return MLV_HIT_PAGE_UP;
    if (y > b + state->thumbLength + t &&
        state->trackLength - state->thumbLength - t > kListViewPageAreaMin)
        return MLV_HIT_PAGE_DOWN;
    return MLV_HIT_THUMB;
}

bool ListViewIsBarPart(int32_t part) {
    return part == MLV_HIT_UP_ARROW || part == MLV_HIT_DOWN_ARROW || part == MLV_HIT_THUMB ||
           part == MLV_HIT_PAGE_UP || part == MLV_HIT_PAGE_DOWN;
}
