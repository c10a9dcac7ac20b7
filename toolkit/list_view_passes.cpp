#include "toolkit/list_view_passes.h"

#include "toolkit/list_view_geometry.h"

void ListViewNotify(ListViewState* state, int32_t code) {
    if (state->draw.callback != nullptr)
        state->draw.callback(state->draw.userValue, code, &state->draw);
}

static void DrawRect(ListViewState* state, int32_t code, HDC dc, int32_t left, int32_t top,
                     int32_t width, int32_t height) {
    ListViewDrawRecord* draw = &state->draw;
    draw->left = left;
    draw->top = top;
    draw->width = width;
    draw->height = height;
    draw->deviceContext = dc;
    ListViewNotify(state, code);
}

// A bar part: left X, width B, with a pressed state.
static void DrawBarPart(ListViewState* state, int32_t code, HDC dc, int32_t top, int32_t height,
                        int32_t pressed) {
    state->draw.state = pressed;
    DrawRect(state, code, dc, state->barLeft, top, state->barWidth, height);
}

void ListViewEraseBackground(ListViewState* state, HDC dc) {
    DrawRect(state, MLV_DRAW_ITEMS_BACKGROUND, dc, 0, 0, state->barLeft, state->height);
    DrawRect(state, MLV_DRAW_BAR_BACKGROUND, dc, state->barLeft, 0, state->barWidth, state->height);
}

void ListViewRowPass(ListViewState* state, HDC dc) {
    ListViewDrawRecord* draw = &state->draw;
    const bool singleRow = (state->style & MLV_STYLE_SINGLE_ROW) != 0;
    const int32_t slots = singleRow ? 1 : state->visibleRows + 1;
    draw->item = state->topIndex + 1;
    draw->top = 0;
    draw->left = 0;
    draw->width = state->barLeft;
    draw->state = 0;
    draw->deviceContext = dc;
    for (int32_t slot = 0; slot < slots; ++slot) {
        draw->height = state->height - draw->top;
        if (!singleRow && draw->height > state->rowHeight)
            draw->height = state->rowHeight;
        draw->state = draw->item == state->selection ? 1 : 0;
        ListViewNotify(state, MLV_DRAW_ITEM);
        draw->item += 1;
        draw->top += state->rowHeight;
    }
    ListViewNotify(state, MLV_DRAW_ITEMS_DONE);
}

void ListViewThumbPass(ListViewState* state, HDC dc, int32_t pressed) {
    DrawBarPart(state, MLV_DRAW_BAR_BACKGROUND, dc, state->trackTop, state->trackLength, pressed);
    if (state->barShown != 1)
        return;
    const int32_t t = ListViewThumbOffset(state);
    DrawBarPart(state, MLV_DRAW_DOWN_ARROW, dc, state->trackTop + t, state->thumbLength, pressed);
}

void ListViewDrawUpArrow(ListViewState* state, HDC dc, int32_t pressed) {
    DrawBarPart(state, MLV_DRAW_UP_ARROW, dc, 0, state->barWidth, pressed);
}

void ListViewDrawDownArrow(ListViewState* state, HDC dc, int32_t pressed) {
    const int32_t top = state->trackTop + state->trackLength;
    DrawBarPart(state, MLV_DRAW_DOWN_ARROW, dc, top, state->height - top, pressed);
}

void ListViewBarPass(ListViewState* state, HDC dc) {
    ListViewDrawUpArrow(state, dc, 0);
    ListViewThumbPass(state, dc, 0);
    ListViewDrawDownArrow(state, dc, 0);
}

void ListViewDrawPageUpArea(ListViewState* state, HDC dc, int32_t pressed) {
    const int32_t t = ListViewThumbOffset(state);
    if (t > 0)
        DrawBarPart(state, MLV_DRAW_PAGE_UP_AREA, dc, state->trackTop, t, pressed);
}

void ListViewDrawPageDownArea(ListViewState* state, HDC dc, int32_t pressed) {
    const int32_t t = ListViewThumbOffset(state);
    const int32_t below = state->trackLength - state->thumbLength - t;
    if (below > 0)
        DrawBarPart(state, MLV_DRAW_PAGE_DOWN_AREA, dc, state->trackTop + state->thumbLength + t,
                    below, pressed);
}

void ListViewNotifySelection(ListViewState* state) {
    state->draw.item = state->selection;
    state->draw.state = 1;
    ListViewNotify(state, MLV_SELECTION_CHANGED);
}
