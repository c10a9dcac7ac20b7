// The list-view's keyboard, wheel, focus, enable and disable, and what it
// posts to its owner.
#include "tests/windows/toolkit/list_view_harness.h"

#include "toolkit/list_view_moves.h"

namespace {

using CodeList = std::vector<int32_t>;

TEST_F(ListViewTest, KeysMoveFollowInvalidateWithoutErasingAndThenTell) {
    ASSERT_NE(Create(Image(206, 50)), nullptr);  // V = 10
    for (int i = 0; i < 9; ++i)
        Key(VK_DOWN);
    EXPECT_EQ(State()->selection, 10);
    EXPECT_EQ(State()->topIndex, 0);
    calls_.clear();
    Invalidated();
    Key(VK_NUMPAD2);
    ASSERT_EQ(Codes(), CodeList{MLV_SELECTION_CHANGED});
    EXPECT_EQ(calls_[0].record.item, 11);
    EXPECT_EQ(calls_[0].record.state, 1);
    EXPECT_EQ(State()->topIndex, 1);
    EXPECT_EQ(UpdateCodes().front(), MLV_DRAW_UP_ARROW);  // painted, not erased

    const struct {
        WPARAM key;
        int32_t selection, top;
    } steps[] = {{VK_UP, 10, 1},     {VK_NUMPAD8, 9, 1}, {VK_END, 50, 40},
                 {VK_PRIOR, 40, 30}, {VK_NEXT, 50, 40},  {VK_HOME, 1, 0}};
    for (const auto& step : steps) {
        Key(step.key);
        EXPECT_EQ(State()->selection, step.selection) << step.key;
        EXPECT_EQ(State()->topIndex, step.top) << step.key;
    }
    calls_.clear();
    Invalidated();
    Key(VK_UP);  // at the first item: no repaint and nothing said
    Key(VK_PRIOR);
    EXPECT_TRUE(calls_.empty());
    EXPECT_FALSE(Invalidated());
    EXPECT_TRUE(TakePosted().empty());  // navigation keys stay with the control
}

TEST_F(ListViewTest, TheWheelMakesOneStepPerMessageForwardWhenTurnedAway) {
    ASSERT_NE(Create(Image(106, 50)), nullptr);
    Key(VK_DOWN);
    Key(VK_DOWN);
    calls_.clear();
    Wheel(120);
    EXPECT_EQ(State()->selection, 4);
    Wheel(-360);
    EXPECT_EQ(State()->selection, 3);
    EXPECT_EQ(Codes(), (CodeList{MLV_SELECTION_CHANGED, MLV_SELECTION_CHANGED}));
    EXPECT_TRUE(Invalidated());
}

TEST_F(ListViewTest, OtherKeysAndSystemMessagesArePostedToTheOwnerAsTheyCame) {
    ASSERT_NE(Create(Image(106, 50)), nullptr);
    const struct {
        UINT message;
        WPARAM wParam;
    } forwarded[] = {{WM_KEYDOWN, VK_TAB},     {WM_KEYDOWN, VK_ESCAPE},  {WM_KEYDOWN, 'A'},
                     {WM_KEYUP, VK_DOWN},      {WM_SYSKEYDOWN, VK_MENU}, {WM_SYSKEYUP, 'F'},
                     {WM_SYSCOMMAND, SC_CLOSE}};
    for (const auto& sent : forwarded)
        EXPECT_EQ(Send(sent.message, sent.wParam, 0x20310001), 0);
    Send(WM_CHAR, 'a', 1);
    const std::vector<MSG> posted = TakePosted();
    ASSERT_EQ(posted.size(), 7u);
    for (size_t i = 0; i < posted.size(); ++i) {
        EXPECT_EQ(posted[i].message, forwarded[i].message) << i;
        EXPECT_EQ(posted[i].wParam, forwarded[i].wParam) << i;
        EXPECT_EQ(posted[i].lParam, 0x20310001) << i;
    }
    EXPECT_TRUE(calls_.empty());
}

TEST_F(ListViewTest, DisabledItIgnoresMouseWheelAndNavigationButStillForwardsKeys) {
    ASSERT_NE(Create(Image(106, 50)), nullptr);
    Invalidated();
    Send(WM_COMMAND, MLV_CMD_DISABLE);
    EXPECT_EQ(State()->enabled, 0);
    EXPECT_TRUE(Invalidated());
    Press(190, 100);
    Press(10, 30);
    Release();
    Wheel(120);
    Key(VK_DOWN);
    Key(VK_TAB);
    Key('Q');
    EXPECT_TRUE(calls_.empty());
    EXPECT_EQ(State()->selection, 1);
    EXPECT_EQ(GetCapture(), nullptr);
    const std::vector<MSG> posted = TakePosted();
    ASSERT_EQ(posted.size(), 2u);
    EXPECT_EQ(posted[0].wParam, static_cast<WPARAM>(VK_TAB));
    EXPECT_EQ(posted[1].wParam, static_cast<WPARAM>('Q'));

    Send(WM_COMMAND, 3);  // not a command of the control
    EXPECT_FALSE(Invalidated());
    Send(WM_COMMAND, MLV_CMD_ENABLE);
    EXPECT_TRUE(Invalidated());
    Send(WM_COMMAND, MLV_CMD_ENABLE);
    EXPECT_FALSE(Invalidated());
    Key(VK_DOWN);
    EXPECT_EQ(State()->selection, 2);
}

TEST_F(ListViewTest, DisablingWhileAnArrowIsHeldEndsThePressAsAReleaseWould) {
    ASSERT_NE(Create(Image(106, 50)), nullptr);
    SetCapture(other_);
    Press(190, 100);
    ASSERT_EQ(GetCapture(), control_);
    calls_.clear();
    Send(WM_COMMAND, MLV_CMD_DISABLE);
    ASSERT_EQ(Codes(), CodeList{MLV_DRAW_DOWN_ARROW});
    EXPECT_EQ(calls_[0].record.state, 0);
    EXPECT_EQ(GetCapture(), other_);
    EXPECT_EQ(State()->pressedPart, MLV_NO_PART);
    EXPECT_EQ(State()->repeatTimer, 0u);
    for (int tick = 0; tick < 30; ++tick)
        Send(WM_TIMER, kListViewRepeatTimerId);
    EXPECT_EQ(State()->selection, 2);  // the press's own step, no repeats
}

TEST_F(ListViewTest, MouseActivationTakesTheFocusWhichIsOnlyRecorded) {
    ASSERT_NE(Create(Image(106, 50)), nullptr);
    SetFocus(owner_);
    EXPECT_EQ(Send(WM_MOUSEACTIVATE, reinterpret_cast<WPARAM>(owner_), HTCLIENT), MA_ACTIVATE);
    EXPECT_EQ(GetFocus(), control_);
    EXPECT_EQ(State()->focused, 1);
    EXPECT_EQ(Send(WM_MOUSEACTIVATE, reinterpret_cast<WPARAM>(owner_), HTCLIENT), MA_ACTIVATE);
    SetFocus(owner_);
    EXPECT_EQ(State()->focused, 0);
    EXPECT_TRUE(calls_.empty());
    EXPECT_FALSE(Invalidated());
}

TEST_F(ListViewTest, AControlWithoutACallbackStillWorks) {
    ListViewState image = Image(106, 50);
    image.owner = owner_;
    control_ = CreateWindowExA(0, MLV_CLASS_NAME, "", WS_CHILD | WS_VISIBLE, 0, 0, 200, 106, owner_,
                               nullptr, GetModuleHandleA(nullptr), &image);
    ASSERT_NE(control_, nullptr);
    UpdateWindow(control_);
    Press(10, 30);
    Press(190, 100);
    Release();
    Key(VK_DOWN);
    EXPECT_EQ(State()->selection, 4);
}

}  // namespace
