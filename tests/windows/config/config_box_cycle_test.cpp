// A host that opens and closes the driver for months: whole cycles of Init,
// Create, the box with paints and clicks, Destroy and End must leave no GDI
// object, window, class or kernel handle behind.
#include <cstdio>
#include <vector>

#include <gtest/gtest.h>

#include "config/config_box.h"
#include "driver/library_state.h"
#include "include/qp240_remote.h"
#include "tests/windows/config/config_test_support.h"
#include "toolkit/drawing_resources.h"
#include "toolkit/list_view.h"
#include "tools/host_simulator/process_counts.h"

namespace {

// Everything one cycle made that must be gone after it.
struct CycleObjects {
    std::vector<HGDIOBJ> gdi;
    HWND box = nullptr;
};

void RunCycle(HWND host, CycleObjects* made) {
    ASSERT_EQ(QP240REMOTE_Init(GetModuleHandleA(nullptr)), 0);
    void* handle = QP240REMOTE_Create(IgnoringCallback, 0);
    ASSERT_NE(handle, nullptr);
    ASSERT_EQ(QP240REMOTE_OpenConfigBox(handle, host, 0, 0, 600, 300), 0);
    PumpHostMessages();
    DriverInstance* instance = static_cast<DriverInstance*>(handle);
    made->box = instance->configBox.window;
    ASSERT_NE(made->box, nullptr);

    // Both layers into a memory picture, clicks on both fields, a context
    // call and a move, each followed by the paints it causes.
    Canvas canvas;
    ASSERT_TRUE(CanvasCreate(&canvas, 600, 300));
    RenderConfigBox(&instance->configBox, made->box, &canvas);
    CanvasFree(&canvas);
    SendMessageA(made->box, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(400, 170));
    SendMessageA(made->box, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(400, 260));
    PumpHostMessages();
    const QP240REMOTE_Context context = {1, 4, 0};
    QP240REMOTE_SetContext(handle, &context, sizeof context);
    QP240REMOTE_OpenConfigBox(handle, host, 5, 5, 620, 310);
    UpdateWindow(made->box);
    PumpHostMessages();

    made->gdi.clear();
    made->gdi.push_back(g_keypadPicture);
    for (int i = 0; i < kPaletteSize; ++i) {
        made->gdi.push_back(g_drawing.brushes[i]);
        made->gdi.push_back(g_drawing.pens[i]);
    }
    made->gdi.push_back(g_drawing.dashDotPen);
    for (int i = 0; i < kFontCount; ++i)
        made->gdi.push_back(g_drawing.fonts[i]);

    EXPECT_EQ(QP240REMOTE_CloseConfigBox(handle), 0);
    EXPECT_EQ(QP240REMOTE_Destroy(handle), 0);
    EXPECT_EQ(QP240REMOTE_End(), 0);
}

void ExpectCycleLeftNothing(const CycleObjects& made) {
    for (HGDIOBJ object : made.gdi)
        ASSERT_EQ(GetObjectType(object), 0u) << object << " outlived End";
    EXPECT_FALSE(IsWindow(made.box));
    WNDCLASSA info;
    EXPECT_FALSE(GetClassInfoA(GetModuleHandleA(nullptr), kConfigBoxClassName, &info));
    EXPECT_FALSE(GetClassInfoA(GetModuleHandleA(nullptr), MLV_CLASS_NAME, &info));
}

using Cycles = LibraryTest;

TEST_F(Cycles, TheCountsSeeOneLeakedObjectOfEachKind) {
    const int gdi = LiveGdiObjects();
    const int handles = LiveKernelHandles();
    ASSERT_GT(gdi, 0) << "no way to count GDI objects here";
    ASSERT_GT(handles, 0) << "no way to count kernel handles here";
    HBRUSH brush = CreateSolidBrush(RGB(1, 2, 3));
    HANDLE event = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    EXPECT_EQ(LiveGdiObjects(), gdi + 1);
    EXPECT_EQ(LiveKernelHandles(), handles + 1);
    DeleteObject(brush);
    CloseHandle(event);
    EXPECT_EQ(LiveGdiObjects(), gdi);
    EXPECT_EQ(LiveKernelHandles(), handles);
}

TEST_F(Cycles, AHundredWholeCyclesLeaveTheProcessAsTheyFoundIt) {
    HWND host = CreateHostWindow(800, 500);
    ASSERT_NE(host, nullptr);
    // One cycle first: the system makes its own lasting objects (cached fonts,
    // the window's device context) the first time they are needed.
    CycleObjects made;
    RunCycle(host, &made);
    ExpectCycleLeftNothing(made);

    const int gdiBefore = LiveGdiObjects();
    const int handlesBefore = LiveKernelHandles();
    for (int cycle = 0; cycle < 100; ++cycle) {
        RunCycle(host, &made);
        ExpectCycleLeftNothing(made);
        if (HasFatalFailure())
            break;
    }
    const int gdiAfter = LiveGdiObjects();
    const int handlesAfter = LiveKernelHandles();
    std::printf("100 cycles: GDI objects %d -> %d, kernel handles %d -> %d\n", gdiBefore, gdiAfter,
                handlesBefore, handlesAfter);
    RecordProperty("gdi_before", gdiBefore);
    RecordProperty("gdi_after", gdiAfter);
    RecordProperty("handles_before", handlesBefore);
    RecordProperty("handles_after", handlesAfter);
    EXPECT_EQ(gdiAfter, gdiBefore);
    EXPECT_EQ(handlesAfter, handlesBefore);
    DestroyWindow(host);
    PumpHostMessages();
}

}  // namespace
