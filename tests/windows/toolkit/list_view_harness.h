// An owner for the list-view tests: a real owner window, the control created
// through the registered class, and a callback that records every call with a
// copy of the draw record as it stood during the call.
#pragma once

#include <cstdint>
#include <vector>

#include <gtest/gtest.h>

#include "toolkit/list_view.h"

struct ListViewCall {
    int32_t code;
    ListViewDrawRecord record;
    int32_t selection;  // S as the control held it during the call
};

class ListViewTest : public testing::Test {
  public:  // the recording callback appends to calls_
    void SetUp() override;
    void TearDown() override;

    // 200 wide with a 16-pixel bar, rows of 20, thumb of 20 unless said.
    static ListViewState Image(int32_t height, int32_t items, int32_t thumb = 20);
    // Fills in owner, callback and user value; the control, or null.
    HWND Create(ListViewState image);
    ListViewState* State() const;

    LRESULT Send(UINT message, WPARAM wParam = 0, LPARAM lParam = 0);
    void Press(int32_t x, int32_t y, WPARAM keys = MK_LBUTTON);
    void Release() { Send(WM_LBUTTONUP); }
    void MoveTo(int32_t y) { Send(WM_MOUSEMOVE, MK_LBUTTON, Point(10, y)); }
    void Key(WPARAM virtualKey) { Send(WM_KEYDOWN, virtualKey, 0x00500001); }
    void Wheel(int16_t delta) { Send(WM_MOUSEWHEEL, static_cast<WORD>(delta) << 16, 0); }
    static LPARAM Point(int32_t x, int32_t y);

    std::vector<int32_t> Codes() const;
    std::vector<ListViewCall> Calls(int32_t code) const;
    // Whether an update region waits; validates it.
    bool Invalidated();
    // The codes of a repaint of whatever waits.
    std::vector<int32_t> UpdateCodes();
    // Messages posted to the owner so far, taken off the queue.
    std::vector<MSG> TakePosted();

    HWND owner_ = nullptr;
    HWND other_ = nullptr;  // another window of this thread, to hold the capture
    HWND control_ = nullptr;
    std::vector<ListViewCall> calls_;
};
