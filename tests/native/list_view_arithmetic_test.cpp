// The list-view's arithmetic: geometry, thumb offset, hit test, follow, moves,
// the thumb drag step and the repeat schedule.
#include <climits>

#include <gtest/gtest.h>

#include "toolkit/list_view_geometry.h"
#include "toolkit/list_view_moves.h"

namespace {

// A control of width 100 with a 16-pixel bar; L - Th = H - 32 - thumb.
ListViewState Control(int32_t height, int32_t items, int32_t thumb = 20, int32_t row = 20,
                      int32_t style = 0) {
    ListViewState state = {};
    state.width = 100;
    state.height = height;
    state.barWidth = 16;
    state.thumbLength = thumb;
    state.itemCount = items;
    state.rowHeight = row;
    state.style = style;
    state.selection = 1;
    ListViewDeriveGeometry(&state);
    return state;
}

TEST(ListViewGeometry, DerivesBarTrackAndVisibleRows) {
    ListViewState state = Control(106, 10);
    EXPECT_EQ(state.barLeft, 84);
    EXPECT_EQ(state.trackTop, 16);
    EXPECT_EQ(state.trackLength, 74);
    EXPECT_EQ(state.visibleRows, 5);
    EXPECT_EQ(state.barShown, 1);
    EXPECT_EQ(Control(106, 10, 20, 20, MLV_STYLE_SINGLE_ROW).visibleRows, 1);
    // A row height of 0 written after creation never divides.
    state.rowHeight = 0;
    ListViewDeriveGeometry(&state);
    EXPECT_EQ(state.visibleRows, 100);
    EXPECT_EQ(ListViewHitTest(&state, 0, 50), 48);
}

TEST(ListViewGeometry, ThumbOffsetRoundsInSinglePrecisionWithHalvesDown) {
    ListViewState state = Control(152, 4);  // L - Th = 100
    const int32_t expected[] = {0, 33, 67, 100};
    for (int32_t s = 1; s <= 4; ++s) {
        state.selection = s;
        EXPECT_EQ(ListViewThumbOffset(&state), expected[s - 1]) << "S = " << s;
    }
    state = Control(57, 3);  // L - Th = 5: x is exactly 2.5
    state.selection = 2;
    EXPECT_EQ(ListViewThumbOffset(&state), 2);
    state = Control(59, 27);  // 7 * 13 / 26 = 3.5 only when multiplied first
    state.selection = 14;
    EXPECT_EQ(ListViewThumbOffset(&state), 3);
    state.itemCount = 1;
    EXPECT_EQ(ListViewThumbOffset(&state), 0);
    EXPECT_EQ(ListViewRoundHalfDown(-1.5f), -2);
    EXPECT_EQ(ListViewRoundHalfDown(1.5001f), 2);
}

TEST(ListViewHitTest, RowsLieThreePixelsBelowTheDrawnRows) {
    const ListViewState state = Control(206, 50);  // V = 10
    for (int32_t y = 0; y <= 22; ++y)
        EXPECT_EQ(ListViewHitTest(&state, 0, y), 1) << y;
    for (int32_t y = 23; y <= 42; ++y)
        EXPECT_EQ(ListViewHitTest(&state, 83, y), 2) << y;
    EXPECT_EQ(ListViewHitTest(&state, 0, -17), 0);
    EXPECT_EQ(ListViewHitTest(&state, 0, -16), 1);
    EXPECT_EQ(ListViewHitTest(&state, 0, 5000), 10);
}

TEST(ListViewHitTest, ArrowsAndTheDownArrowsFirstLine) {
    const ListViewState state = Control(200, 5);
    EXPECT_EQ(ListViewHitTest(&state, 84, 15), MLV_HIT_UP_ARROW);
    EXPECT_EQ(ListViewHitTest(&state, 5000, 0), MLV_HIT_UP_ARROW);  // no right bound
    EXPECT_NE(ListViewHitTest(&state, 84, 200 - 16), MLV_HIT_DOWN_ARROW);
    EXPECT_EQ(ListViewHitTest(&state, 84, 200 - 15), MLV_HIT_DOWN_ARROW);
}

TEST(ListViewHitTest, PageAreasNeedMoreThanTwentyFivePixels) {
    // L - Th = 100 gives t = 25 at S = 2 and 75 at S = 4; 104 gives 26 and 78.
    struct Case {
        int32_t height, selection, y;
        int32_t part;
    } cases[] = {
        {152, 2, 16 + 25 - 1, MLV_HIT_THUMB},      {156, 2, 16 + 26 - 1, MLV_HIT_PAGE_UP},
        {152, 4, 16 + 20 + 75 + 1, MLV_HIT_THUMB}, {156, 4, 16 + 20 + 78 + 1, MLV_HIT_PAGE_DOWN},
        {156, 2, 16 + 26, MLV_HIT_THUMB},          {156, 4, 16 + 20 + 78, MLV_HIT_THUMB},
    };
    for (const Case& c : cases) {
        ListViewState state = Control(c.height, 5);
        state.selection = c.selection;
        EXPECT_EQ(ListViewHitTest(&state, 90, c.y), c.part) << c.height << " " << c.y;
        state.barShown = 0;
        EXPECT_EQ(ListViewHitTest(&state, 90, c.y), kListViewHitHiddenTrack);
    }
}

TEST(ListViewMoves, FollowKeepsTheSelectionInView) {
    ListViewState state = Control(206, 50);  // V = 10
    state.selection = 10;
    ASSERT_TRUE(ListViewApplyMove(&state, kListViewStepForward));
    EXPECT_EQ(state.selection, 11);
    EXPECT_EQ(state.topIndex, 1);
    state.selection = 2;
    ASSERT_TRUE(ListViewApplyMove(&state, kListViewStepBack));
    EXPECT_EQ(state.topIndex, 0);
    state.selection = 1;
    state.topIndex = 20;
    ASSERT_TRUE(ListViewApplyMove(&state, kListViewStepForward));
    EXPECT_EQ(state.topIndex, 1);
    ASSERT_TRUE(ListViewApplyMove(&state, kListViewLastItem));
    EXPECT_EQ(state.selection, 50);
    EXPECT_EQ(state.topIndex, 40);
    ASSERT_TRUE(ListViewApplyMove(&state, kListViewFirstItem));
    EXPECT_EQ(state.topIndex, 0);
}

TEST(ListViewMoves, PagesShiftViewAndSelectionTogether) {
    ListViewState state = Control(206, 25);
    state.topIndex = 10;
    state.selection = 15;
    ASSERT_TRUE(ListViewApplyMove(&state, kListViewPageDown));
    EXPECT_EQ(state.selection, 25);
    EXPECT_EQ(state.topIndex, 15);
    state.topIndex = 0;
    state.selection = 3;
    ASSERT_TRUE(ListViewApplyMove(&state, kListViewPageUp));
    EXPECT_EQ(state.selection, 1);
    EXPECT_EQ(state.topIndex, 0);
    state = Control(206, 4);  // N < V: the top index stays at 0
    ASSERT_TRUE(ListViewApplyMove(&state, kListViewPageDown));
    EXPECT_EQ(state.selection, 4);
    EXPECT_EQ(state.topIndex, 0);
}

TEST(ListViewMoves, FailedPreconditionsChangeNothing) {
    const ListViewMove all[] = {kListViewStepForward, kListViewStepBack, kListViewLastItem,
                                kListViewFirstItem,   kListViewPageUp,   kListViewPageDown};
    for (int32_t items : {0, 1}) {
        for (ListViewMove move : all) {
            ListViewState state = Control(206, items);
            EXPECT_FALSE(ListViewApplyMove(&state, move));
            EXPECT_EQ(state.selection, 1);
        }
    }
    ListViewState state = Control(206, 5);
    EXPECT_FALSE(ListViewApplyMove(&state, kListViewStepBack));
    EXPECT_FALSE(ListViewApplyMove(&state, kListViewPageUp));
    state.selection = 5;
    EXPECT_FALSE(ListViewApplyMove(&state, kListViewStepForward));
    EXPECT_FALSE(ListViewApplyMove(&state, kListViewLastItem));
    EXPECT_EQ(state.topIndex, 0);
}

TEST(ListViewDrag, RoundsHalvesDownAndMovesTheAnchorOnlyWithTheSelection) {
    ListViewState state = Control(252, 101);  // L - Th = 200
    state.pressedPart = MLV_HIT_THUMB;
    state.dragAnchor = 100;
    EXPECT_TRUE(ListViewDragTo(&state, 103));  // 1.5 rounds to 1
    EXPECT_EQ(state.selection, 2);
    EXPECT_EQ(state.dragAnchor, 103);
    EXPECT_FALSE(ListViewDragTo(&state, 104));  // 0.5 rounds to 0
    EXPECT_EQ(state.dragAnchor, 103);
    EXPECT_TRUE(ListViewDragTo(&state, 105));  // 1.0
    EXPECT_EQ(state.selection, 3);
    EXPECT_TRUE(ListViewDragTo(&state, -3000));  // outside the window, clamped to 1
    EXPECT_EQ(state.selection, 1);
    EXPECT_TRUE(ListViewDragTo(&state, 30000));
    EXPECT_EQ(state.selection, 101);
    EXPECT_EQ(state.topIndex, 101 - state.visibleRows);
    state.pressedPart = MLV_HIT_PAGE_DOWN;
    EXPECT_FALSE(ListViewDragTo(&state, 0));
}

TEST(ListViewDrag, ATrackNoLongerThanTheThumbKeepsTheSelection) {
    for (int32_t thumb : {220, 221, 400}) {  // L = 220
        ListViewState state = Control(252, 101, thumb);
        state.pressedPart = MLV_HIT_THUMB;
        state.selection = 50;
        EXPECT_FALSE(ListViewDragTo(&state, 200));
        EXPECT_EQ(state.selection, 50);
    }
}

TEST(ListViewDrag, AHugeListDragsWithoutLeavingTheIntegers) {
    // L - Th = 1: one pixel moves by N - 1, whose float is 2^31.
    ListViewState state = Control(53, INT32_MAX);
    ASSERT_EQ(state.trackLength - state.thumbLength, 1);
    state.pressedPart = MLV_HIT_THUMB;
    state.dragAnchor = 0;
    EXPECT_TRUE(ListViewDragTo(&state, 1));
    EXPECT_EQ(state.selection, INT32_MAX);
    EXPECT_TRUE(ListViewDragTo(&state, 0));
    EXPECT_EQ(state.selection, 1);
    EXPECT_EQ(ListViewRoundHalfDown(3e9f), INT32_MAX);
    EXPECT_EQ(ListViewRoundHalfDown(-3e9f), INT32_MIN);
}

TEST(ListViewRepeat, TwentyFiveTicksActSixTimes) {
    std::vector<uint32_t> acting;
    for (uint32_t tick = 0; tick < 25; ++tick)
        if (ListViewRepeatActs(tick))
            acting.push_back(tick);
    EXPECT_EQ(acting, (std::vector<uint32_t>{8, 12, 16, 20, 22, 24}));
    EXPECT_FALSE(ListViewRepeatActs(39));
    EXPECT_TRUE(ListViewRepeatActs(41));
    EXPECT_TRUE(ListViewRepeatActs(0xFFFFFFFFu));
}

}  // namespace
