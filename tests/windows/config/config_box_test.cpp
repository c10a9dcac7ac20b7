// The configuration box through the exports and its window messages: opening,
// moving and closing, strict click targets, repaints that leave the static
// layer alone, and a box that goes away by other means than the exports.
#include <cstring>

#include <gtest/gtest.h>

#include "config/config_box.h"
#include "config/config_box_layout.h"
#include "include/qp240_remote.h"
#include "tests/windows/config/config_test_support.h"
#include "tools/host_simulator/import_patch.h"

namespace {

// Counts the paints and erases a box receives, in front of its own procedure.
struct MessageCount {
    int paints = 0;
    int erases = 0;
};
MessageCount g_count;
WNDPROC g_boxProcedure = nullptr;

LRESULT CALLBACK CountingProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_PAINT)
        ++g_count.paints;
    if (message == WM_ERASEBKGND)
        ++g_count.erases;
    return CallWindowProcA(g_boxProcedure, window, message, wParam, lParam);
}

void CountMessagesOf(HWND box) {
    g_boxProcedure = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrA(box, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(CountingProcedure)));
    g_count = MessageCount{};
}

// The box's rectangle in the host's client coordinates.
void ExpectPlaced(HWND box, HWND host, int x, int y, int width, int height) {
    RECT placed = {};
    GetWindowRect(box, &placed);
    MapWindowPoints(nullptr, host, reinterpret_cast<POINT*>(&placed), 2);
    EXPECT_EQ(placed.left, x);
    EXPECT_EQ(placed.top, y);
    EXPECT_EQ(placed.right - placed.left, width);
    EXPECT_EQ(placed.bottom - placed.top, height);
}

class ConfigBoxTest : public LibraryTest {
  protected:
    void SetUp() override {
        LibraryTest::SetUp();
        ASSERT_EQ(QP240REMOTE_Init(GetModuleHandleA(nullptr)), 0);
        host = CreateHostWindow(800, 500);
        ASSERT_NE(host, nullptr);
        handle = QP240REMOTE_Create(IgnoringCallback, 0);
        ASSERT_NE(handle, nullptr);
    }
    void TearDown() override {
        if (handle != nullptr)
            QP240REMOTE_Destroy(handle);
        if (IsWindow(host))
            DestroyWindow(host);
        PumpHostMessages();
        LibraryTest::TearDown();
    }
    ConfigBoxState* Box() { return &static_cast<DriverInstance*>(handle)->configBox; }
    HWND Open(int width = 600, int height = 300) {
        EXPECT_EQ(QP240REMOTE_OpenConfigBox(handle, host, 10, 20, width, height), 0);
        PumpHostMessages();
        return Box()->window;
    }
    QP240REMOTE_Context Context() {
        QP240REMOTE_Context context = {};
        QP240REMOTE_GetContext(handle, &context);
        return context;
    }
    void SetContext(int32_t keyMode, int32_t channel) {
        const QP240REMOTE_Context context = {keyMode, channel, 0};
        ASSERT_EQ(QP240REMOTE_SetContext(handle, &context, sizeof context), 0);
    }
    // A press and release at client (x, y), then whatever they caused.
    static void Click(HWND box, int x, int y) {
        SendMessageA(box, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(x, y));
        SendMessageA(box, WM_LBUTTONUP, 0, MAKELPARAM(x, y));
        PumpHostMessages();
    }

    HWND host = nullptr;
    void* handle = nullptr;
};

TEST_F(ConfigBoxTest, OpenMakesAChildOfTheHostAndASecondOpenMovesIt) {
    HWND sibling = CreateWindowExA(0, "STATIC", "", WS_CHILD | WS_VISIBLE, 0, 0, 50, 50, host,
                                   nullptr, nullptr, nullptr);
    HWND box = Open();
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(GetParent(box), host);
    EXPECT_EQ(GetWindowLongPtrA(box, 0),
              reinterpret_cast<LONG_PTR>(&static_cast<DriverInstance*>(handle)->configBox));
    const LONG style = GetWindowLongA(box, GWL_STYLE);
    EXPECT_EQ(style & (WS_CHILD | WS_VISIBLE | WS_TABSTOP), WS_CHILD | WS_VISIBLE | WS_TABSTOP);
    EXPECT_EQ(GetWindowLongA(box, GWL_EXSTYLE), 0);
    EXPECT_EQ(GetWindowTextLengthA(box), 0);
    EXPECT_EQ(GetDlgCtrlID(box), 0);
    char className[64] = {};
    GetClassNameA(box, className, sizeof className);
    EXPECT_STREQ(className, "Lorendel Remote Driver WND-CLASS");

    ExpectPlaced(box, host, 10, 20, 600, 300);

    // Behind the sibling now; a second open puts it on top, moved and sized.
    SetWindowPos(box, HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    EXPECT_EQ(QP240REMOTE_OpenConfigBox(handle, nullptr, 5, 6, 640, 320), 1);
    EXPECT_EQ(Box()->window, box);
    EXPECT_EQ(GetWindow(host, GW_CHILD), box);
    ExpectPlaced(box, host, 5, 6, 640, 320);

    EXPECT_EQ(QP240REMOTE_CloseConfigBox(handle), 0);
    EXPECT_FALSE(IsWindow(box));
    EXPECT_EQ(Box()->window, nullptr);
    EXPECT_EQ(QP240REMOTE_CloseConfigBox(handle), 1);
    DestroyWindow(sibling);
}

TEST_F(ConfigBoxTest, TheClassHasItsExactFields) {
    WNDCLASSEXA info = {};
    info.cbSize = sizeof info;
    ASSERT_TRUE(GetClassInfoExA(GetModuleHandleA(nullptr), kConfigBoxClassName, &info));
    EXPECT_EQ(info.style, static_cast<UINT>(CS_HREDRAW | CS_VREDRAW));  // no CS_DBLCLKS
    EXPECT_EQ(info.lpfnWndProc, ConfigBoxWindowProc);
    EXPECT_EQ(info.cbClsExtra, 0);
    EXPECT_EQ(info.cbWndExtra, static_cast<int>(sizeof(void*)));
    EXPECT_EQ(info.hCursor, LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW)));
    EXPECT_EQ(info.hbrBackground, nullptr);
    EXPECT_EQ(info.hIcon, nullptr);
    EXPECT_EQ(info.lpszMenuName, nullptr);
}

TEST_F(ConfigBoxTest, TheFirstPaintSetsTheClickTargets) {
    const FieldRect zero = {0, 0, 0, 0};
    EXPECT_EQ(std::memcmp(&Box()->modeField, &zero, sizeof zero), 0);
    Open(600, 300);
    const FieldRect client = {0, 0, 600, 300};
    const FieldRect mode = ModeFieldRect(client);
    const FieldRect channel = ChannelFieldRect(client);
    EXPECT_EQ(std::memcmp(&Box()->modeField, &mode, sizeof mode), 0);
    EXPECT_EQ(std::memcmp(&Box()->channelField, &channel, sizeof channel), 0);

    // They follow the size of the last paint.
    QP240REMOTE_OpenConfigBox(handle, host, 0, 0, 500, 300);
    PumpHostMessages();
    EXPECT_EQ(Box()->modeField.right, 480);
}

TEST_F(ConfigBoxTest, OnlyClicksStrictlyInsideAFieldChangeIt) {
    HWND box = Open(600, 300);
    ASSERT_NE(box, nullptr);
    // On the KEY MODE outline (250, 150, 580, 204) and on the channel's.
    const POINT edges[] = {{250, 170}, {580, 170}, {400, 150}, {400, 204}, {250, 150},
                           {250, 250}, {580, 250}, {400, 230}, {400, 284}, {400, 217}};
    for (const POINT& edge : edges)
        Click(box, edge.x, edge.y);
    EXPECT_EQ(Context().keyMode, 0);
    EXPECT_EQ(Context().midiChannel, 0);

    Click(box, 251, 151);
    EXPECT_EQ(Context().keyMode, 1);
    Click(box, 579, 203);
    EXPECT_EQ(Context().keyMode, 0);
    Click(box, 251, 231);
    EXPECT_EQ(Context().midiChannel, 1);

    // Sixteen clicks come back round; from 15 one click gives 0.
    for (int i = 0; i < 16; ++i)
        Click(box, 400, 260);
    EXPECT_EQ(Context().midiChannel, 1);
    SetContext(0, 15);
    Click(box, 400, 260);
    EXPECT_EQ(Context().midiChannel, 0);

    // Out of range: shown as is, back in range at the next click.
    SetContext(7, 200);
    Click(box, 400, 170);
    Click(box, 400, 260);
    EXPECT_EQ(Context().keyMode, 0);
    EXPECT_EQ(Context().midiChannel, 9);
    SetContext(6, 0);
    Click(box, 400, 170);
    EXPECT_EQ(Context().keyMode, 1);
    // Clicks change the instance only.
    DWORD type = 0;
    std::vector<uint8_t> bytes;
    EXPECT_FALSE(ReadSetting("GenStatus", &type, &bytes));
}

TEST_F(ConfigBoxTest, AFastDoubleClickCountsAsTwoClicks) {
    HWND box = Open(600, 300);
    // Without CS_DBLCLKS the system sends a second button-down, never a
    // double-click message.
    Click(box, 400, 170);
    Click(box, 400, 170);
    Click(box, 400, 260);
    Click(box, 400, 260);
    EXPECT_EQ(Context().keyMode, 0);
    EXPECT_EQ(Context().midiChannel, 2);
    SendMessageA(box, WM_LBUTTONDBLCLK, MK_LBUTTON, MAKELPARAM(400, 260));
    EXPECT_EQ(Context().midiChannel, 2);
}

TEST_F(ConfigBoxTest, ABoxAtMost270WideHasNoClickableField) {
    HWND box = Open(270, 300);
    for (int x = 0; x < 270; x += 3) {
        Click(box, x, 170);
        Click(box, x, 260);
    }
    EXPECT_EQ(Context().keyMode, 0);
    EXPECT_EQ(Context().midiChannel, 0);
}

TEST_F(ConfigBoxTest, ClicksAndContextCallsRepaintTheFieldsWithoutErasing) {
    HWND box = Open(600, 300);
    CountMessagesOf(box);

    Click(box, 400, 170);
    EXPECT_EQ(g_count.paints, 1);
    EXPECT_EQ(g_count.erases, 0);

    g_count = MessageCount{};
    Click(box, 100, 100);  // the picture: nothing to do
    EXPECT_EQ(g_count.paints, 0);

    g_count = MessageCount{};
    SetContext(1, 9);
    PumpHostMessages();
    EXPECT_EQ(g_count.paints, 1);
    EXPECT_EQ(g_count.erases, 0);

    g_count = MessageCount{};
    EXPECT_EQ(QP240REMOTE_ResetContext(handle, 0), 0);
    PumpHostMessages();
    EXPECT_EQ(g_count.paints, 1);
    EXPECT_EQ(g_count.erases, 0);

    // A resize repaints both layers.
    g_count = MessageCount{};
    EXPECT_EQ(QP240REMOTE_OpenConfigBox(handle, host, 10, 20, 620, 310), 1);
    PumpHostMessages();
    EXPECT_GE(g_count.paints, 1);
    EXPECT_GE(g_count.erases, 1);
}

TEST_F(ConfigBoxTest, TheWindowShowsWhatTheBoxPaints) {
    HWND box = Open(600, 300);
    Click(box, 400, 170);
    SetContext(1, 9);
    PumpHostMessages();

    Canvas expected;
    ASSERT_TRUE(CanvasCreate(&expected, 600, 300));
    RenderConfigBox(Box(), box, &expected);
    HDC window = GetDC(box);
    Canvas shown;
    ASSERT_TRUE(CanvasCreate(&shown, 600, 300));
    BitBlt(shown.dc, 0, 0, 600, 300, window, 0, 0, SRCCOPY);
    ReleaseDC(box, window);
    int differing = 0;
    for (int y = 0; y < 300; ++y)
        for (int x = 0; x < 600; ++x)
            differing += CanvasPixel(shown, x, y) != CanvasPixel(expected, x, y);
    EXPECT_EQ(differing, 0);
    CanvasFree(&shown);
    CanvasFree(&expected);
}

TEST_F(ConfigBoxTest, ABoxDestroyedWithItsParentIsForgotten) {
    HWND box = Open();
    ASSERT_NE(box, nullptr);
    DestroyWindow(host);
    EXPECT_FALSE(IsWindow(box));
    EXPECT_EQ(Box()->window, nullptr);

    // Context calls have nothing to repaint, a close finds no box.
    SetContext(1, 3);
    EXPECT_EQ(QP240REMOTE_ResetContext(handle, 1), 0);
    EXPECT_EQ(QP240REMOTE_CloseConfigBox(handle), 1);

    // A later open makes a new box in the new host window.
    host = CreateHostWindow(800, 500);
    EXPECT_EQ(QP240REMOTE_OpenConfigBox(handle, host, 0, 0, 600, 300), 0);
    HWND second = Box()->window;
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(GetParent(second), host);
    EXPECT_EQ(QP240REMOTE_CloseConfigBox(handle), 0);
    EXPECT_FALSE(IsWindow(second));
}

// What the host's window sees of its box while the box is destroyed, and a
// close made from another thread in the middle of a second open's move.
struct CloseWitness {
    WNDPROC hostProcedure;
    bool notified;       // the host heard of the box's destruction
    LONG_PTR boundThen;  // slot 0 of the box at that moment
    void* handle;        // closed from another thread when the box is moved
};
CloseWitness g_witness;

LRESULT CALLBACK WitnessingHost(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_PARENTNOTIFY && LOWORD(wParam) == WM_DESTROY) {
        g_witness.notified = true;
        g_witness.boundThen = GetWindowLongPtrA(reinterpret_cast<HWND>(lParam), 0);
    }
    return CallWindowProcA(g_witness.hostProcedure, window, message, wParam, lParam);
}

DWORD WINAPI CloseBoxOnAnotherThread(void* handle) {
    return static_cast<DWORD>(QP240REMOTE_CloseConfigBox(handle));
}

LRESULT CALLBACK ClosedWhileMoved(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_WINDOWPOSCHANGING && g_witness.handle != nullptr) {
        const HANDLE closer =
            CreateThread(nullptr, 0, CloseBoxOnAnotherThread, g_witness.handle, 0, nullptr);
        g_witness.handle = nullptr;
        WaitForSingleObject(closer, 5000);
        CloseHandle(closer);
    }
    return CallWindowProcA(g_boxProcedure, window, message, wParam, lParam);
}

TEST_F(ConfigBoxTest, ABoxIsUnboundBeforeItIsDestroyedAndAnOpenNeverMovesAClosedOne) {
    g_witness = CloseWitness{};
    g_witness.hostProcedure = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrA(host, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(WitnessingHost)));
    ASSERT_NE(Open(), nullptr);
    EXPECT_EQ(QP240REMOTE_CloseConfigBox(handle), 0);
    EXPECT_TRUE(g_witness.notified);
    EXPECT_EQ(g_witness.boundThen, 0) << "the host's window saw the box still bound";

    // Another thread closes the box while a second open moves it: the open
    // finds it closed and makes a new one.
    HWND box = Open();
    ASSERT_NE(box, nullptr);
    g_boxProcedure = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrA(box, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(ClosedWhileMoved)));
    g_witness.handle = handle;
    EXPECT_EQ(QP240REMOTE_OpenConfigBox(handle, host, 5, 6, 600, 300), 0);
    EXPECT_EQ(g_witness.handle, nullptr) << "the move was not seen";
    PumpHostMessages();
    HWND made = Box()->window;
    EXPECT_NE(made, nullptr);
    EXPECT_NE(made, box);
    EXPECT_FALSE(IsWindow(box));
    EXPECT_EQ(GetWindowLongPtrA(made, 0),
              reinterpret_cast<LONG_PTR>(&static_cast<DriverInstance*>(handle)->configBox));
}

TEST_F(ConfigBoxTest, DestroyClosesTheOpenBox) {
    HWND box = Open();
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(QP240REMOTE_Destroy(handle), 0);
    handle = nullptr;
    EXPECT_FALSE(IsWindow(box));
}

TEST_F(ConfigBoxTest, AFailedCreationLeavesNoBoxAndTheNextOpenTriesAgain) {
    // A child window needs a parent.
    EXPECT_EQ(QP240REMOTE_OpenConfigBox(handle, nullptr, 0, 0, 600, 300), QP240REMOTE_E_NO_WINDOW);
    EXPECT_EQ(Box()->window, nullptr);
    EXPECT_EQ(QP240REMOTE_CloseConfigBox(handle), 1);
    EXPECT_EQ(QP240REMOTE_OpenConfigBox(handle, host, 0, 0, 600, 300), 0);
    EXPECT_NE(Box()->window, nullptr);
}

// The host's thread that opened the box runs its messages; another host thread
// destroys the instance. The box must not keep the freed instance.
struct BoxThread {
    void* handle;
    HANDLE opened;  // set once the open returned
    HWND box;       // the instance's box right after the open
    bool boxAliveAtEnd;
    HANDLE thread;
    DWORD threadId;
    HWND host;            // the thread's own host window, holding its box
    int32_t openResult;   // what its OpenConfigBox answered
    HANDLE resume;        // when set, the thread looks at no message until it is signalled
    bool meetAtCreation;  // hold the box's creation until another thread's reached it
};

// Test-only seam for two opens at once: a hook of each opening thread holds
// its box's creation, just before the box's WM_CREATE, until the other
// thread's box has come that far too; so both opens have found no box.
LONG g_boxesAtCreation;

LRESULT CALLBACK MeetAtBoxCreation(int code, WPARAM wParam, LPARAM lParam) {
    if (code == HCBT_CREATEWND) {
        InterlockedIncrement(&g_boxesAtCreation);
        const DWORD start = GetTickCount();
        while (InterlockedCompareExchange(&g_boxesAtCreation, 0, 0) < 2 &&
               GetTickCount() - start < 10000)
            Sleep(1);
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

DWORD WINAPI RunBoxThread(void* argument) {
    BoxThread* thread = static_cast<BoxThread*>(argument);
    HWND host = CreateHostWindow(700, 400);
    HHOOK hook = thread->meetAtCreation
                     ? SetWindowsHookExA(WH_CBT, MeetAtBoxCreation, nullptr, GetCurrentThreadId())
                     : nullptr;
    thread->openResult = QP240REMOTE_OpenConfigBox(thread->handle, host, 0, 0, 600, 300);
    if (hook != nullptr)
        UnhookWindowsHookEx(hook);
    thread->host = host;
    thread->box = static_cast<DriverInstance*>(thread->handle)->configBox.window;
    SetEvent(thread->opened);
    if (thread->resume != nullptr)
        WaitForSingleObject(thread->resume, INFINITE);
    MSG message;
    while (GetMessageA(&message, nullptr, 0, 0) > 0)
        DispatchMessageA(&message);
    thread->boxAliveAtEnd = IsWindow(thread->box) != 0;
    DestroyWindow(host);
    return 0;
}

// Starts a box thread for `handle` without waiting for its open.
void LaunchBoxThread(BoxThread* box, void* handle, HANDLE resume, bool meetAtCreation) {
    *box = BoxThread{handle,  CreateEventA(nullptr, TRUE, FALSE, nullptr),
                     nullptr, true,
                     nullptr, 0,
                     nullptr, -1,
                     resume,  meetAtCreation};
    box->thread = CreateThread(nullptr, 0, RunBoxThread, box, 0, &box->threadId);
    ASSERT_NE(box->thread, nullptr);
}

// Starts a box thread for `handle` and waits until its box is open.
void StartBoxThread(BoxThread* box, void* handle, HANDLE resume = nullptr) {
    LaunchBoxThread(box, handle, resume, false);
    ASSERT_EQ(WaitForSingleObject(box->opened, 5000), WAIT_OBJECT_0);
    ASSERT_NE(box->box, nullptr);
}

// Lets the box thread leave its message loop and waits for its end.
void EndBoxThread(BoxThread* box) {
    if (box->resume != nullptr)
        SetEvent(box->resume);
    PostThreadMessageA(box->threadId, WM_QUIT, 0, 0);
    EXPECT_EQ(WaitForSingleObject(box->thread, 5000), WAIT_OBJECT_0);
    CloseHandle(box->thread);
    CloseHandle(box->opened);
}

TEST_F(ConfigBoxTest, TwoThreadsOpeningAtOnceMakeOneBoxAndTheOtherOpenMovesIt) {
    g_boxesAtCreation = 0;
    BoxThread first, second;
    LaunchBoxThread(&first, handle, nullptr, true);
    LaunchBoxThread(&second, handle, nullptr, true);
    ASSERT_EQ(WaitForSingleObject(first.opened, 10000), WAIT_OBJECT_0);
    ASSERT_EQ(WaitForSingleObject(second.opened, 10000), WAIT_OBJECT_0);
    EXPECT_EQ(g_boxesAtCreation, 2) << "both opens reached a creation";

    EXPECT_EQ(first.openResult + second.openResult, 1) << "one creates (0), one moves (1)";
    HWND firstBox = FindWindowExA(first.host, nullptr, kConfigBoxClassName, nullptr);
    HWND secondBox = FindWindowExA(second.host, nullptr, kConfigBoxClassName, nullptr);
    EXPECT_TRUE((firstBox == nullptr) != (secondBox == nullptr)) << "exactly one box window";
    HWND box = firstBox != nullptr ? firstBox : secondBox;
    EXPECT_EQ(Box()->window, box);
    EXPECT_EQ(GetWindowLongPtrA(box, 0),
              reinterpret_cast<LONG_PTR>(&static_cast<DriverInstance*>(handle)->configBox));

    EXPECT_EQ(QP240REMOTE_Destroy(handle), 0);
    handle = nullptr;
    EndBoxThread(&first);
    EndBoxThread(&second);
    EXPECT_TRUE(HeapValidate(GetProcessHeap(), 0, nullptr));
}

// An open that a Destroy overtakes between its hold and its box's creation
// makes no box: the Destroy's close could no longer see it, and the box would
// keep the destroyed instance for good.
TEST_F(ConfigBoxTest, AnOpenOvertakenByADestroyMakesNoBox) {
    g_boxesAtCreation = 0;
    BoxThread opener;
    LaunchBoxThread(&opener, handle, nullptr, true);
    while (InterlockedCompareExchange(&g_boxesAtCreation, 0, 0) < 1)
        Sleep(1);  // the open is held just before its box's WM_CREATE
    EXPECT_EQ(QP240REMOTE_Destroy(handle), 0);
    handle = nullptr;
    InterlockedIncrement(&g_boxesAtCreation);
    ASSERT_EQ(WaitForSingleObject(opener.opened, 10000), WAIT_OBJECT_0);
    EXPECT_EQ(opener.openResult, QP240REMOTE_E_BAD_HANDLE);
    EXPECT_EQ(FindWindowExA(opener.host, nullptr, kConfigBoxClassName, nullptr), nullptr);
    EndBoxThread(&opener);
    EXPECT_TRUE(HeapValidate(GetProcessHeap(), 0, nullptr));
}

TEST_F(ConfigBoxTest, DestroyFromAnotherThreadUnbindsTheBoxAndItsThreadClosesIt) {
    BoxThread thread;
    StartBoxThread(&thread, handle);
    if (HasFatalFailure())
        return;

    EXPECT_EQ(QP240REMOTE_Destroy(handle), 0);
    handle = nullptr;
    // Unbound at once: nothing the box does from now on reaches the instance.
    EXPECT_EQ(GetWindowLongPtrA(thread.box, 0), 0);

    EndBoxThread(&thread);
    EXPECT_FALSE(thread.boxAliveAtEnd) << "the box's own thread closes it";
}

TEST_F(ConfigBoxTest, AfterAnEndThatCouldNotRemoveTheBoxClassTheNextInitSucceeds) {
    HANDLE resume = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    BoxThread thread;
    StartBoxThread(&thread, handle, resume);
    if (HasFatalFailure())
        return;
    // Unbound, but alive until its thread next looks at its messages.
    EXPECT_EQ(QP240REMOTE_Destroy(handle), 0);
    handle = nullptr;
    EXPECT_EQ(QP240REMOTE_End(), 0);
    WNDCLASSA info;
    EXPECT_TRUE(GetClassInfoA(GetModuleHandleA(nullptr), kConfigBoxClassName, &info))
        << "the living box kept its class";

    SetEvent(resume);
    const DWORD start = GetTickCount();
    while (IsWindow(thread.box) && GetTickCount() - start < 5000)
        Sleep(5);
    EXPECT_EQ(QP240REMOTE_Init(GetModuleHandleA(nullptr)), 0);
    EndBoxThread(&thread);
    CloseHandle(resume);
}

// The box's thread is held inside a paint of the fields (in its first
// RoundRect) when another host thread destroys the instance: the paint must
// end before Destroy frees what it reads and writes.
struct SlowPaint {
    void* realRoundRect;
    HANDLE entered;  // set when the held paint is inside RoundRect
    LONG armed;
    LONG returned;  // the held RoundRect has returned
};
SlowPaint g_slowPaint;

BOOL WINAPI SlowRoundRect(HDC dc, int left, int top, int right, int bottom, int width, int height) {
    const bool held = InterlockedExchange(&g_slowPaint.armed, 0) != 0;
    if (held) {
        SetEvent(g_slowPaint.entered);
        Sleep(300);
    }
    typedef BOOL(WINAPI * RoundRectFunction)(HDC, int, int, int, int, int, int);
    const BOOL drawn = reinterpret_cast<RoundRectFunction>(g_slowPaint.realRoundRect)(
        dc, left, top, right, bottom, width, height);
    if (held)
        InterlockedExchange(&g_slowPaint.returned, 1);
    return drawn;
}

// A host thread that opens a box and ends with it open: the system takes its
// windows without a WM_DESTROY to the box.
DWORD WINAPI OpenAndEnd(void* argument) {
    BoxThread* thread = static_cast<BoxThread*>(argument);
    QP240REMOTE_OpenConfigBox(thread->handle, CreateHostWindow(700, 400), 0, 0, 600, 300);
    thread->box = static_cast<DriverInstance*>(thread->handle)->configBox.window;
    return 0;
}

TEST_F(ConfigBoxTest, ABoxWhoseThreadEndedIsForgotten) {
    BoxThread thread = {handle, nullptr, nullptr, false, nullptr, 0, nullptr, -1, nullptr, false};
    HANDLE worker = CreateThread(nullptr, 0, OpenAndEnd, &thread, 0, nullptr);
    ASSERT_NE(worker, nullptr);
    ASSERT_EQ(WaitForSingleObject(worker, 5000), WAIT_OBJECT_0);
    CloseHandle(worker);
    ASSERT_NE(thread.box, nullptr);
    EXPECT_FALSE(IsWindow(thread.box));

    EXPECT_EQ(QP240REMOTE_CloseConfigBox(handle), 1) << "no box is open";
    EXPECT_EQ(QP240REMOTE_OpenConfigBox(handle, host, 0, 0, 600, 300), 0) << "a new box";
    EXPECT_TRUE(IsWindow(Box()->window));
    EXPECT_EQ(QP240REMOTE_CloseConfigBox(handle), 0);
}

TEST_F(ConfigBoxTest, DestroyFromAnotherThreadWaitsForAPaintInProgress) {
    BoxThread thread;
    StartBoxThread(&thread, handle);
    if (HasFatalFailure())
        return;

    g_slowPaint = SlowPaint{nullptr, CreateEventA(nullptr, TRUE, FALSE, nullptr), 1, 0};
    g_slowPaint.realRoundRect = ReplaceImport(GetModuleHandleA(nullptr), "gdi32.dll", "RoundRect",
                                              reinterpret_cast<void*>(SlowRoundRect));
    ASSERT_NE(g_slowPaint.realRoundRect, nullptr);
    InvalidateRect(thread.box, nullptr, FALSE);
    ASSERT_EQ(WaitForSingleObject(g_slowPaint.entered, 5000), WAIT_OBJECT_0);

    EXPECT_EQ(QP240REMOTE_Destroy(handle), 0);
    handle = nullptr;
    EXPECT_EQ(InterlockedCompareExchange(&g_slowPaint.returned, 0, 0), 1)
        << "Destroy returned while the box was painting the instance";
    EXPECT_EQ(GetWindowLongPtrA(thread.box, 0), 0);

    EndBoxThread(&thread);
    ReplaceImport(GetModuleHandleA(nullptr), "gdi32.dll", "RoundRect", g_slowPaint.realRoundRect);
    EXPECT_TRUE(HeapValidate(GetProcessHeap(), 0, nullptr));
    CloseHandle(g_slowPaint.entered);
}

}  // namespace
