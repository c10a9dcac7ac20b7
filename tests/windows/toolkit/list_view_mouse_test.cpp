// The list-view driven by messages as the system sends them: creation, paint,
// row clicks, arrows with their repeat, the thumb drag and the page areas.
#include "tests/windows/toolkit/list_view_harness.h"

#include <functional>

#include "toolkit/list_view_moves.h"
#include "tools/host_simulator/process_counts.h"

namespace {

using CodeList = std::vector<int32_t>;
const CodeList kBarAndRows = {16, 5, 17, 17, 1, 1, 1, 1, 1, 1, 6};  // H = 106: six row slots

struct Rect {
    int32_t left, top, width, height;
};

Rect RectOf(const ListViewCall& call) {
    return {call.record.left, call.record.top, call.record.width, call.record.height};
}

bool operator==(const Rect& a, const Rect& b) {
    return a.left == b.left && a.top == b.top && a.width == b.width && a.height == b.height;
}

TEST_F(ListViewTest, CreationCopiesTheImageAndSetsTheFieldsTheControlOwns) {
    ListViewState image = Image(106, 50);
    image.controlId = 0x12345;
    image.unused2 = 77;
    image.enabled = 0;
    image.focused = 1;
    ASSERT_NE(Create(image), nullptr);
    const ListViewState* state = State();
    EXPECT_EQ(state->window, control_);
    EXPECT_EQ(state->draw.window, control_);
    EXPECT_EQ(state->draw.controlId, 0x2345);
    EXPECT_EQ(state->unused2, 77);
    EXPECT_EQ(state->enabled, 1);
    EXPECT_EQ(state->focused, 0);
    EXPECT_EQ(state->selection, 1);
    EXPECT_EQ(state->barLeft, 184);
    EXPECT_EQ(state->trackLength, 74);
    EXPECT_EQ(state->visibleRows, 5);

    SetWindowPos(control_, nullptr, 0, 0, 300, 206, SWP_NOMOVE | SWP_NOZORDER);
    EXPECT_EQ(state->barLeft, 284);
    EXPECT_EQ(state->trackLength, 174);
    EXPECT_EQ(state->visibleRows, 10);
}

TEST_F(ListViewTest, NoImageOrARowHeightBelowOneMakesNoWindow) {
    EXPECT_EQ(CreateWindowExA(0, MLV_CLASS_NAME, "", WS_CHILD, 0, 0, 200, 106, owner_, nullptr,
                              GetModuleHandleA(nullptr), nullptr),
              nullptr);
    for (int32_t row : {0, -20}) {
        ListViewState image = Image(106, 50);
        image.rowHeight = row;
        EXPECT_EQ(Create(image), nullptr) << row;
    }
    EXPECT_TRUE(calls_.empty());
}

LONG_PTR g_controlProc;
LONG_PTR g_slotAtNcDestroy;

LRESULT CALLBACK WatchSlot(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCDESTROY)
        g_slotAtNcDestroy = GetWindowLongPtrA(window, 0);
    return CallWindowProcA(reinterpret_cast<WNDPROC>(g_controlProc), window, message, wParam,
                           lParam);
}

TEST_F(ListViewTest, CloseDestroysTheControlAndClearsItsSlot) {
    ASSERT_NE(Create(Image(106, 50)), nullptr);
    g_controlProc =
        SetWindowLongPtrA(control_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(WatchSlot));
    g_slotAtNcDestroy = -1;
    EXPECT_EQ(Send(WM_CLOSE), 0);
    EXPECT_FALSE(IsWindow(control_));
    EXPECT_EQ(g_slotAtNcDestroy, 0);
}

TEST_F(ListViewTest, PaintErasesThenDrawsTheBarAndSixRowSlotsForH106) {
    ASSERT_NE(Create(Image(106, 50)), nullptr);
    InvalidateRect(control_, nullptr, TRUE);
    CodeList expected = {4, 5};
    expected.insert(expected.end(), kBarAndRows.begin(), kBarAndRows.end());
    ASSERT_EQ(UpdateCodes(), expected);
    // Erase: rows area, whole bar strip; bar: up arrow, track, thumb, down arrow.
    const Rect rects[] = {{0, 0, 184, 106},  {184, 0, 16, 106}, {184, 0, 16, 16},
                          {184, 16, 16, 74}, {184, 16, 16, 20}, {184, 90, 16, 16}};
    for (size_t i = 0; i < 6; ++i)
        EXPECT_TRUE(RectOf(calls_[i]) == rects[i]) << i;
    const int32_t heights[] = {20, 20, 20, 20, 20, 6};
    for (int32_t slot = 0; slot < 6; ++slot) {
        const ListViewCall& row = calls_[6 + slot];
        EXPECT_TRUE(RectOf(row) == (Rect{0, 20 * slot, 184, heights[slot]})) << slot;
        EXPECT_EQ(row.record.item, slot + 1);
        EXPECT_EQ(row.record.state, slot == 0 ? 1 : 0);
    }
    EXPECT_EQ(calls_.back().record.item, 7);
    EXPECT_EQ(calls_.back().record.top, 120);

    ListViewState single = Image(106, 50);
    single.style = MLV_STYLE_SINGLE_ROW;
    DestroyWindow(control_);
    ASSERT_NE(Create(single), nullptr);
    InvalidateRect(control_, nullptr, FALSE);
    UpdateCodes();
    ASSERT_EQ(Calls(MLV_DRAW_ITEM).size(), 1u);
    EXPECT_EQ(Calls(MLV_DRAW_ITEM)[0].record.height, 106);
}

TEST_F(ListViewTest, EmptyListAnswersNoPressKeyOrWheelButStillPaintsItsRows) {
    ASSERT_NE(Create(Image(106, 0)), nullptr);
    Press(10, 10);
    Press(190, 5);
    Press(190, 100);
    Press(190, 50);
    Release();
    Key(VK_DOWN);
    Wheel(120);
    EXPECT_TRUE(calls_.empty());
    EXPECT_EQ(GetCapture(), nullptr);
    InvalidateRect(control_, nullptr, FALSE);
    UpdateCodes();
    ASSERT_EQ(Calls(MLV_DRAW_ITEM).size(), 6u);
    EXPECT_EQ(Calls(MLV_DRAW_ITEM)[0].record.state, 1);
}

TEST_F(ListViewTest, ClicksHitRowsThreePixelsLowerAndReportTheirModifiers) {
    ListViewState image = Image(106, 3);
    image.draw.clickWord = 0x55;
    ASSERT_NE(Create(image), nullptr);
    Press(10, 22, MK_LBUTTON);
    ASSERT_EQ(Calls(MLV_ITEM_CLICKED).size(), 1u);
    EXPECT_EQ(Calls(MLV_ITEM_CLICKED)[0].record.item, 1);
    EXPECT_EQ(Calls(MLV_ITEM_CLICKED)[0].record.state, 1);  // already selected

    calls_.clear();
    Press(11, 23, MK_LBUTTON | MK_RBUTTON | MK_MBUTTON | MK_SHIFT | MK_CONTROL);
    CodeList expected = {MLV_ITEM_CLICKED};  // no selection change after a click
    expected.insert(expected.end(), kBarAndRows.begin(), kBarAndRows.end());
    ASSERT_EQ(Codes(), expected);
    const ListViewCall& click = calls_[0];
    EXPECT_EQ(click.record.item, 2);
    EXPECT_EQ(click.selection, 2);  // S already holds it during the call
    EXPECT_EQ(click.record.state, 0);
    EXPECT_EQ(click.record.top, 23);
    EXPECT_EQ(click.record.left, 11);
    EXPECT_EQ(click.record.height, 20);
    EXPECT_EQ(click.record.modifiers, 0x000C);
    EXPECT_EQ(click.record.clickWord, 0);

    calls_.clear();
    Press(10, 90);  // row 5, below the third and last item
    EXPECT_EQ(Codes(), kBarAndRows);
    EXPECT_EQ(State()->selection, 2);
}

TEST_F(ListViewTest, ClicksCountFromTheTopIndexAndIgnoreRowsAboveTheFirst) {
    ListViewState image = Image(106, 50);
    image.topIndex = 5;
    ASSERT_NE(Create(image), nullptr);
    Press(10, 5);
    ASSERT_EQ(Calls(MLV_ITEM_CLICKED).size(), 1u);
    EXPECT_EQ(Calls(MLV_ITEM_CLICKED)[0].record.item, 6);
    State()->topIndex = 0;
    calls_.clear();
    Press(10, -17);  // screen row 0: item 0, nothing at all
    EXPECT_TRUE(calls_.empty());
}

TEST_F(ListViewTest, HoldingTheDownArrowTwentyFiveTicksMovesSevenItems) {
    ASSERT_NE(Create(Image(106, 50)), nullptr);
    SetCapture(other_);
    Press(190, 105);
    ASSERT_GE(calls_.size(), 2u);
    EXPECT_EQ(calls_[0].code, MLV_DRAW_DOWN_ARROW);
    EXPECT_TRUE(RectOf(calls_[0]) == (Rect{184, 90, 16, 16}));
    EXPECT_EQ(calls_[0].record.state, 1);
    // The step draws the rows at once, then tells; the thumb follows unpressed.
    const CodeList pressCodes = {17, 1, 1, 1, 1, 1, 1, 6, 12, 5, 17};
    EXPECT_EQ(Codes(), pressCodes);
    EXPECT_EQ(GetCapture(), control_);
    EXPECT_EQ(State()->repeatTimer, kListViewRepeatTimerId);

    for (int tick = 0; tick < 25; ++tick)
        Send(WM_TIMER, kListViewRepeatTimerId);
    EXPECT_EQ(State()->selection, 8);
    EXPECT_EQ(Calls(MLV_SELECTION_CHANGED).size(), 7u);
    EXPECT_EQ(State()->topIndex, 3);

    calls_.clear();
    Release();
    ASSERT_EQ(Codes(), CodeList{MLV_DRAW_DOWN_ARROW});
    EXPECT_EQ(calls_[0].record.state, 0);
    EXPECT_EQ(GetCapture(), other_);  // handed back to its previous holder
    EXPECT_EQ(State()->repeatTimer, 0u);
    EXPECT_EQ(State()->repeatStopped, 1);
    calls_.clear();
    for (int tick = 0; tick < 30; ++tick)  // still queued after the stop: ignored
        Send(WM_TIMER, kListViewRepeatTimerId);
    EXPECT_TRUE(calls_.empty());
    EXPECT_EQ(State()->selection, 8);
}

TEST_F(ListViewTest, TheRepeatTimerRunsAtThirtyMilliseconds) {
    ASSERT_NE(Create(Image(106, 50)), nullptr);
    Press(190, 5);  // up arrow at the first item: no step
    EXPECT_EQ(Codes(), (CodeList{MLV_DRAW_UP_ARROW, 5, 17}));
    const DWORD start = GetTickCount();
    MSG message;
    while (GetTickCount() - start < 400) {
        while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE))
            DispatchMessageA(&message);
        Sleep(5);
    }
    EXPECT_GE(State()->repeatTicks, 4u);
    EXPECT_LE(State()->repeatTicks, 16u);
    Release();
    EXPECT_EQ(GetCapture(), nullptr);
}

TEST_F(ListViewTest, ThumbDragRoundsHalvesDownKeepsItsAnchorAndReturnsTheCapture) {
    ASSERT_NE(Create(Image(252, 101)), nullptr);  // L - Th = 200
    SetCapture(other_);
    Press(190, 20);
    EXPECT_EQ(Codes(), (CodeList{5, 17}));
    EXPECT_EQ(calls_[1].record.state, 1);
    EXPECT_EQ(GetCapture(), control_);

    calls_.clear();
    MoveTo(23);  // (N - 1) * 3 / 200 = 1.5: one item
    const CodeList dragCodes = {1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 6, 5, 17, 12};
    EXPECT_EQ(Codes(), dragCodes);
    EXPECT_EQ(Calls(17)[0].record.state, 1);
    EXPECT_EQ(State()->selection, 2);
    calls_.clear();
    MoveTo(24);  // 0.5 from the new anchor: nothing
    EXPECT_TRUE(calls_.empty());
    MoveTo(25);  // 1.0
    EXPECT_EQ(State()->selection, 3);
    MoveTo(-500);  // above the window while captured
    EXPECT_EQ(State()->selection, 1);

    calls_.clear();
    Release();
    EXPECT_EQ(Codes(), (CodeList{5, 17}));
    EXPECT_EQ(calls_[1].record.state, 0);
    EXPECT_EQ(GetCapture(), other_);
}

TEST_F(ListViewTest, ThumbDragOnATrackNoLongerThanTheThumbKeepsTheSelection) {
    ASSERT_NE(Create(Image(252, 101, 220)), nullptr);  // L - Th = 0
    Press(190, 100);
    EXPECT_EQ(State()->pressedPart, MLV_HIT_THUMB);
    calls_.clear();
    MoveTo(180);
    MoveTo(10);
    EXPECT_TRUE(calls_.empty());
    EXPECT_EQ(State()->selection, 1);
}

TEST_F(ListViewTest, PageAreasDrawAtThePressAndMoveAtTheRelease) {
    ASSERT_NE(Create(Image(252, 50)), nullptr);  // V = 12, t = 0
    Press(190, 100);
    ASSERT_EQ(Codes(), CodeList{MLV_DRAW_PAGE_DOWN_AREA});
    EXPECT_TRUE(RectOf(calls_[0]) == (Rect{184, 36, 16, 200}));
    EXPECT_EQ(calls_[0].record.state, 1);
    EXPECT_EQ(State()->selection, 1);
    Invalidated();
    calls_.clear();
    Release();  // page down, wherever the button went up
    EXPECT_EQ(Codes(), CodeList{MLV_SELECTION_CHANGED});
    EXPECT_EQ(State()->selection, 13);
    EXPECT_EQ(State()->topIndex, 12);
    EXPECT_TRUE(Invalidated());
    EXPECT_EQ(GetCapture(), nullptr);

    // The page-up area held while Home takes S to 1: nothing moves at the
    // release, and with t = 0 there is no area left to draw.
    Press(190, 17);
    ASSERT_EQ(Codes().back(), MLV_DRAW_PAGE_UP_AREA);
    Key(VK_HOME);
    calls_.clear();
    Release();
    EXPECT_TRUE(calls_.empty());
    EXPECT_EQ(State()->selection, 1);
    EXPECT_EQ(GetCapture(), nullptr);
}

TEST_F(ListViewTest, TheDownArrowIsHitFromOnePixelBelowItsDrawnTop) {
    ASSERT_NE(Create(Image(252, 50)), nullptr);
    Press(190, 252 - 16);
    EXPECT_EQ(State()->pressedPart, MLV_HIT_PAGE_DOWN);
    Release();
    Press(190, 252 - 15);
    EXPECT_EQ(State()->pressedPart, MLV_HIT_DOWN_ARROW);
    Release();
}

TEST_F(ListViewTest, ASecondPressBeforeTheReleaseStillHandsTheCaptureBack) {
    ASSERT_NE(Create(Image(252, 50)), nullptr);
    SetCapture(other_);
    Press(190, 20);
    Press(190, 20);  // the button-up of the first press went missing
    Release();
    EXPECT_EQ(GetCapture(), other_);
}

TEST_F(ListViewTest, LosingTheCaptureWhileAnArrowIsHeldEndsThePress) {
    ASSERT_NE(Create(Image(106, 50)), nullptr);
    Press(190, 100);  // the down arrow: one step, then the repeat
    ASSERT_EQ(GetCapture(), control_);
    SetCapture(other_);  // a menu or a dialog takes the mouse
    EXPECT_EQ(State()->pressedPart, MLV_NO_PART);
    EXPECT_EQ(State()->repeatTimer, 0u);
    const int32_t selection = State()->selection;
    const DWORD start = GetTickCount();
    MSG message;
    while (GetTickCount() - start < 300) {
        while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE))
            DispatchMessageA(&message);
        Sleep(5);
    }
    EXPECT_EQ(State()->selection, selection) << "the arrow went on repeating";
    Release();  // a stray button-up leaves the new holder alone
    EXPECT_EQ(GetCapture(), other_);
}

TEST_F(ListViewTest, NoRepeatTimerMessageArrivesAfterAnArrowPressEnds) {
    ASSERT_NE(Create(Image(106, 50)), nullptr);
    // Each way a press ends: the button goes up, cancel mode, the capture goes.
    const std::function<void()> ends[] = {[&] { Release(); }, [&] { Send(WM_CANCELMODE); },
                                          [&] { SetCapture(other_); }};
    for (size_t way = 0; way < sizeof ends / sizeof ends[0]; ++way) {
        Press(190, 100);
        ends[way]();
        int timers = 0;
        MSG message;
        const DWORD start = GetTickCount();
        while (GetTickCount() - start < 200) {  // several periods of 30 ms
            while (PeekMessageA(&message, control_, WM_TIMER, WM_TIMER, PM_REMOVE))
                ++timers;
            Sleep(5);
        }
        EXPECT_EQ(timers, 0) << "way " << way;
        ReleaseCapture();
    }
}

TEST_F(ListViewTest, HeldArrowsPageHoldsDragsAndClicksHandEveryDeviceContextBack) {
    ASSERT_NE(Create(Image(252, 101)), nullptr);  // track 16..236, thumb 20
    const auto round = [&] {
        Press(190, 240);  // the down arrow, held through its repeats
        for (int tick = 0; tick < 45; ++tick)
            Send(WM_TIMER, kListViewRepeatTimerId);
        Release();
        Press(190, 5);  // the up arrow
        for (int tick = 0; tick < 45; ++tick)
            Send(WM_TIMER, kListViewRepeatTimerId);
        Release();
        Press(190, 20);  // the thumb at the top, dragged down and back
        for (int y = 30; y <= 200; y += 10)
            MoveTo(y);
        MoveTo(20);
        Release();
        Press(190, 200);  // the page-down area, then the page-up area
        Release();
        Press(190, 18);
        Release();
        Press(20, 50);  // a row
        Release();
    };
    round();  // the system's own caches settle
    const int before = LiveGdiObjects();
    for (int i = 0; i < 10; ++i)
        round();
    EXPECT_EQ(LiveGdiObjects(), before);
}

}  // namespace
