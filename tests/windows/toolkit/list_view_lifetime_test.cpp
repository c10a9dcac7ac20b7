// An owner that destroys the control from inside the control's own callback,
// as a pick-and-close dialog does on a click: the handler that called it must
// run on without touching freed memory, call the owner no more, and leave
// neither the mouse captured nor a timer running.
#include "tests/windows/toolkit/list_view_harness.h"

#include "toolkit/list_view_moves.h"

namespace {

struct DestroyingOwner {
    int32_t onCode;
    int32_t skip;  // calls with that code to let pass first
    HWND control;
    bool destroyed;
    int32_t callsAfter;
};

int32_t DestroyOnCode(int64_t userValue, int32_t code, ListViewDrawRecord*) {
    DestroyingOwner* owner = reinterpret_cast<DestroyingOwner*>(userValue);
    if (owner->destroyed) {
        owner->callsAfter += 1;
    } else if (code == owner->onCode && owner->skip-- == 0) {
        owner->destroyed = true;
        DestroyWindow(owner->control);
    }
    return 0;
}

struct DestroyCase {
    const char* name;
    int32_t onCode;
    int32_t skip;
    void (*act)(ListViewTest* test);
};

void ClickRow(ListViewTest* test) {
    test->Press(40, 25);
}

void PressDownArrow(ListViewTest* test) {
    test->Press(190, 100);
}

void PressKey(ListViewTest* test) {
    test->Key(VK_DOWN);
}

void DragThumb(ListViewTest* test) {
    test->Press(190, 20);
    test->MoveTo(60);
}

void Repaint(ListViewTest* test) {
    InvalidateRect(test->control_, nullptr, TRUE);
    UpdateWindow(test->control_);
}

// The press moves one item; a later tick moves the next.
void RepeatArrow(ListViewTest* test) {
    test->Press(190, 100);
    for (int tick = 0; tick < 25 && IsWindow(test->control_); ++tick)
        test->Send(WM_TIMER, kListViewRepeatTimerId);
}

}  // namespace

TEST_F(ListViewTest, AnOwnerMayDestroyTheControlFromInsideItsCallback) {
    const DestroyCase cases[] = {
        {"row click", MLV_ITEM_CLICKED, 0, ClickRow},
        {"arrow press", MLV_SELECTION_CHANGED, 0, PressDownArrow},
        {"navigation key", MLV_SELECTION_CHANGED, 0, PressKey},
        {"thumb drag", MLV_SELECTION_CHANGED, 0, DragThumb},
        {"paint", MLV_DRAW_ITEM, 2, Repaint},
        {"erase", MLV_DRAW_BAR_BACKGROUND, 0, Repaint},
        {"repeat tick", MLV_SELECTION_CHANGED, 1, RepeatArrow},
    };
    for (const DestroyCase& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_NE(Create(Image(106, 50)), nullptr);
        SetCapture(other_);
        DestroyingOwner owner = {c.onCode, c.skip, control_, false, 0};
        // The stored record is the control's own: repoint its callback.
        State()->draw.callback = DestroyOnCode;
        State()->draw.userValue = reinterpret_cast<int64_t>(&owner);
        c.act(this);

        EXPECT_TRUE(owner.destroyed);
        EXPECT_FALSE(IsWindow(control_));
        EXPECT_EQ(owner.callsAfter, 0);
        EXPECT_NE(GetCapture(), control_);
        // Whatever the control left queued finds no window and no state.
        MSG message;
        const DWORD start = GetTickCount();
        while (GetTickCount() - start < 100) {
            while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE))
                DispatchMessageA(&message);
            Sleep(5);
        }
        EXPECT_EQ(owner.callsAfter, 0);
        EXPECT_TRUE(HeapValidate(GetProcessHeap(), 0, nullptr));
        ReleaseCapture();
    }
}
