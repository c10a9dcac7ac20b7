#include "tests/windows/toolkit/list_view_harness.h"

#include "toolkit/drawing_resources.h"

static const char kOwnerClass[] = "ListViewTestOwner";

static int32_t RecordCall(int64_t userValue, int32_t code, ListViewDrawRecord* record) {
    ListViewTest* test = reinterpret_cast<ListViewTest*>(userValue);
    const ListViewState* state =
        reinterpret_cast<const ListViewState*>(GetWindowLongPtrA(record->window, 0));
    test->calls_.push_back({code, *record, state != nullptr ? state->selection : 0});
    return 0;
}

void ListViewTest::SetUp() {
    ASSERT_EQ(ToolkitInit(GetModuleHandleA(nullptr)), 1);
    WNDCLASSA ownerClass = {};
    ownerClass.lpfnWndProc = DefWindowProcA;
    ownerClass.hInstance = GetModuleHandleA(nullptr);
    ownerClass.lpszClassName = kOwnerClass;
    RegisterClassA(&ownerClass);  // fails harmlessly from the second test on
    owner_ = CreateWindowExA(0, kOwnerClass, "owner", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 400,
                             400, nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
    other_ = CreateWindowExA(0, kOwnerClass, "other", WS_OVERLAPPEDWINDOW, 0, 0, 100, 100, nullptr,
                             nullptr, GetModuleHandleA(nullptr), nullptr);
    ASSERT_NE(owner_, nullptr);
}

void ListViewTest::TearDown() {
    ReleaseCapture();
    DestroyWindow(other_);
    DestroyWindow(owner_);  // and the control with it
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE))
        DispatchMessageA(&message);
    ToolkitEnd();
}

ListViewState ListViewTest::Image(int32_t height, int32_t items, int32_t thumb) {
    ListViewState image = {};
    image.width = 200;
    image.height = height;
    image.barWidth = 16;
    image.thumbLength = thumb;
    image.itemCount = items;
    image.rowHeight = 20;
    return image;
}

HWND ListViewTest::Create(ListViewState image) {
    image.owner = owner_;
    image.draw.callback = RecordCall;
    image.draw.userValue = reinterpret_cast<int64_t>(this);
    control_ = CreateWindowExA(0, MLV_CLASS_NAME, "", WS_CHILD | WS_VISIBLE, 0, 0, image.width,
                               image.height, owner_, nullptr, GetModuleHandleA(nullptr), &image);
    if (control_ != nullptr) {
        UpdateWindow(control_);
        calls_.clear();
    }
    return control_;
}

ListViewState* ListViewTest::State() const {
    return reinterpret_cast<ListViewState*>(GetWindowLongPtrA(control_, 0));
}

LRESULT ListViewTest::Send(UINT message, WPARAM wParam, LPARAM lParam) {
    return SendMessageA(control_, message, wParam, lParam);
}

LPARAM ListViewTest::Point(int32_t x, int32_t y) {
    return MAKELPARAM(static_cast<WORD>(x), static_cast<WORD>(y));
}

void ListViewTest::Press(int32_t x, int32_t y, WPARAM keys) {
    Send(WM_LBUTTONDOWN, keys, Point(x, y));
}

std::vector<int32_t> ListViewTest::Codes() const {
    std::vector<int32_t> codes;
    for (const ListViewCall& call : calls_)
        codes.push_back(call.code);
    return codes;
}

std::vector<ListViewCall> ListViewTest::Calls(int32_t code) const {
    std::vector<ListViewCall> matching;
    for (const ListViewCall& call : calls_)
        if (call.code == code)
            matching.push_back(call);
    return matching;
}

bool ListViewTest::Invalidated() {
    const bool waiting = GetUpdateRect(control_, nullptr, FALSE) != 0;
    ValidateRect(control_, nullptr);
    return waiting;
}

std::vector<int32_t> ListViewTest::UpdateCodes() {
    calls_.clear();
    UpdateWindow(control_);
    return Codes();
}

std::vector<MSG> ListViewTest::TakePosted() {
    std::vector<MSG> posted;
    MSG message;
    while (PeekMessageA(&message, owner_, WM_KEYFIRST, WM_SYSCOMMAND, PM_REMOVE))
        posted.push_back(message);
    return posted;
}
