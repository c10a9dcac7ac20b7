#include "tools/host_simulator/config_box_view.h"

#include <cstdio>
#include <cstring>
#include <string>

#include "driver/variant_profile.h"
#include "tools/common/png_writer.h"
#include "tools/host_simulator/callback_log.h"

// The box's window class and the place of its fields, as the driver draws
// them: KEY MODE at (250, 150)-(width-20, 204), the channel 80 lower.
static const char kConfigBoxClass[] = "Lorendel Remote Driver WND-CLASS";
static const char kHostClass[] = "QP240 Simulated Host Window";
static constexpr int kBoxWidth = 600;
static constexpr int kBoxHeight = 300;

HWND CreateSimulatedHostWindow(int boxWidth, int boxHeight) {
    WNDCLASSA hostClass = {};
    hostClass.lpfnWndProc = DefWindowProcA;
    hostClass.hInstance = GetModuleHandleA(nullptr);
    hostClass.hCursor = LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW));
    hostClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    hostClass.lpszClassName = kHostClass;
    RegisterClassA(&hostClass);  // already there on a second call

    RECT frame = {0, 0, boxWidth + 2 * kHostMargin, boxHeight + 2 * kHostMargin};
    const DWORD style = WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN | WS_VISIBLE;
    AdjustWindowRect(&frame, style, FALSE);
    HWND host = CreateWindowExA(0, kHostClass, "QP240 (simulated host)", style, 0, 0,
                                frame.right - frame.left, frame.bottom - frame.top, nullptr,
                                nullptr, GetModuleHandleA(nullptr), nullptr);
    PumpHostMessages();
    return host;
}

void PumpHostMessages() {
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
}

HWND FindConfigBox(HWND host) {
    return FindWindowExA(host, nullptr, kConfigBoxClass, nullptr);
}

struct BoundBoxes {
    const void* instance;
    int count;
};

static BOOL CALLBACK CountIfBound(HWND window, LPARAM boxes) {
    BoundBoxes* bound = reinterpret_cast<BoundBoxes*>(boxes);
    char name[sizeof kConfigBoxClass + 1];
    if (GetClassNameA(window, name, sizeof name) > 0 && strcmp(name, kConfigBoxClass) == 0)
        bound->count +=
            reinterpret_cast<const void*>(GetWindowLongPtrA(window, 0)) == bound->instance;
    return TRUE;
}

// EnumChildWindows lists the children first and then calls back, so each box
// is looked at once.
int ConfigBoxesBoundTo(HWND host, const void* instance) {
    if (host == nullptr)  // a null parent would list the top-level windows
        return 0;
    BoundBoxes bound = {instance, 0};
    EnumChildWindows(host, CountIfBound, reinterpret_cast<LPARAM>(&bound));
    return bound.count;
}

void ClickConfigField(HWND box, int field) {
    RECT client = {};
    GetClientRect(box, &client);
    const int x = (250 + client.right - 20) / 2;
    const int y = field == 0 ? 177 : 257;
    SendMessageA(box, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(x, y));
    SendMessageA(box, WM_LBUTTONUP, 0, MAKELPARAM(x, y));
    PumpHostMessages();
}

static int32_t ViewCallback(intptr_t, int32_t code, int32_t argument, void* pointer) {
    char line[768];
    DescribeCallback(line, sizeof line, code, argument, pointer);
    LogLine("  %s", line);
    return 0;
}

static void LogContext(const Deliverable& driver, void* instance, const char* after) {
    QP240REMOTE_Context context = {0, 0, 0};
    driver.GetContext(instance, &context);
    LogLine("%s: key mode %d (%s), MIDI channel %d (shown as %d)", after, context.keyMode,
            context.keyMode == 0 ? "pad protocol" : "MIDI", context.midiChannel,
            context.midiChannel + 1);
}

static bool SaveBox(HWND box, const char* pngPath) {
    WindowPicture picture = {};
    if (!CaptureWindow(box, &picture))
        return false;
    return WritePng(pngPath, picture.rgb.data(), picture.width, picture.height);
}

int RunConfigBoxView(const char* pngPath, const char* dllPath) {
    const std::string path = dllPath != nullptr ? dllPath : DeliverablePath(kProfile32Keys);

    // A real GUI host has user32 loaded before it loads a driver.
    LoadLibraryA("user32.dll");
    LogStartClock();
    Deliverable driver;
    char error[512];
    if (!DeliverableLoad(&driver, path.c_str(), error, sizeof error)) {
        std::fprintf(stderr, "host_simulator: %s\n", error);
        return 1;
    }
    LogLine("QP240REMOTE_Init -> %d", driver.Init(driver.module));
    void* instance = driver.Create(ViewCallback, 0);
    if (instance == nullptr) {
        LogLine("QP240REMOTE_Create -> null; last error: \"%s\"", driver.GetLastErrorString());
        driver.End();
        DeliverableUnload(&driver);
        return 1;
    }
    QP240REMOTE_Context stored = {0, 0, 0};
    driver.GetContext(instance, &stored);
    LogContext(driver, instance, "created");

    HWND host = CreateSimulatedHostWindow(kBoxWidth, kBoxHeight);
    LogLine("QP240REMOTE_OpenConfigBox -> %d",
            driver.OpenConfigBox(instance, host, kHostMargin, kHostMargin, kBoxWidth, kBoxHeight));
    PumpHostMessages();
    HWND box = FindConfigBox(host);
    int result = 0;
    if (box == nullptr) {
        LogLine("no configuration box in the host window");
        result = 1;
    } else {
        // From the pad protocol to MIDI, then two steps of the channel.
        const QP240REMOTE_Context start = {0, 0, stored.padBank};
        LogLine("QP240REMOTE_SetContext(pad protocol, channel 0) -> %d",
                driver.SetContext(instance, &start, sizeof start));
        PumpHostMessages();
        ClickConfigField(box, 0);
        LogContext(driver, instance, "click on KEY MODE");
        ClickConfigField(box, 1);
        ClickConfigField(box, 1);
        LogContext(driver, instance, "two clicks on M.I.D.I. Channel");
        if (SaveBox(box, pngPath)) {
            LogLine("saved the box as %s", pngPath);
        } else {
            LogLine("cannot save %s", pngPath);
            result = 1;
        }
    }

    LogLine("QP240REMOTE_CloseConfigBox -> %d", driver.CloseConfigBox(instance));
    LogLine("QP240REMOTE_Destroy -> %d", driver.Destroy(instance));
    LogLine("QP240REMOTE_End -> %d", driver.End());
    DestroyWindow(host);
    PumpHostMessages();
    DeliverableUnload(&driver);
    return result;
}
