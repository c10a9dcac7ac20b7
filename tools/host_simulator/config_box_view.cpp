#include "tools/host_simulator/config_box_view.h"

#include <cstdio>
#include <cstring>
#include <string>

#include "tools/common/png_writer.h"
#include "tools/host_simulator/callback_log.h"
#include "tools/host_simulator/keypad_families.h"

static const char kHostClass[] = "QP240 Simulated Host Window";

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
    return FindWindowExA(host, nullptr, nullptr, nullptr);
}

struct HostChildren {
    HWND host;
    std::vector<HWND> boxes;
};

static BOOL CALLBACK CollectChild(HWND window, LPARAM children) {
    HostChildren* found = reinterpret_cast<HostChildren*>(children);
    // The list holds the children's children too; a box is the host's own.
    if (GetAncestor(window, GA_PARENT) == found->host)
        found->boxes.push_back(window);
    return TRUE;
}

// EnumChildWindows lists the children first and then calls back, so each box
// is looked at once.
std::vector<HWND> ConfigBoxesIn(HWND host) {
    HostChildren found = {host, {}};
    if (host != nullptr)  // a null parent would list the top-level windows
        EnumChildWindows(host, CollectChild, reinterpret_cast<LPARAM>(&found));
    return found.boxes;
}

HWND OwnConfigBox(HWND host) {
    for (HWND box : ConfigBoxesIn(host))
        if (GetWindowThreadProcessId(box, nullptr) == GetCurrentThreadId())
            return box;
    return nullptr;
}

void ClickConfigBox(HWND box, int x, int y) {
    SendMessageA(box, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(x, y));
    SendMessageA(box, WM_LBUTTONUP, 0, MAKELPARAM(x, y));
}

void ClickConfigField(HWND box, const ConfigFields& fields, int field) {
    const RECT& rect = fields.field[field];
    ClickConfigBox(box, (rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2);
    PumpHostMessages();
}

// Which field a click at (x, y) hits: 0 it changed the key mode, 1 the
// channel, -1 neither. The context is put back after a hit.
static int ProbeClick(const Deliverable& driver, void* instance, HWND box,
                      const QP240REMOTE_Context& before, int x, int y) {
    ClickConfigBox(box, x, y);
    QP240REMOTE_Context after = before;
    driver.GetContext(instance, &after);
    const int hit = after.keyMode != before.keyMode           ? 0
                    : after.midiChannel != before.midiChannel ? 1
                                                              : -1;
    if (hit >= 0)
        driver.SetContext(instance, &before, sizeof before);
    return hit;
}

// From a point that hits `field` towards one that does not, along x or y: the
// last coordinate that still hits. A field is a rectangle, so its hits are one
// run along any line.
static int LastHit(const Deliverable& driver, void* instance, HWND box,
                   const QP240REMOTE_Context& before, POINT inside, int outside, bool alongX,
                   int field) {
    int hit = alongX ? inside.x : inside.y;
    while (hit - outside > 1 || outside - hit > 1) {
        const int middle = (hit + outside) / 2;
        const int x = alongX ? middle : inside.x;
        const int y = alongX ? inside.y : middle;
        if (ProbeClick(driver, instance, box, before, x, y) == field)
            hit = middle;
        else
            outside = middle;
    }
    return hit;
}

// A grid finer than either field finds a point of each; from there the
// edges are searched along both axes.
static constexpr int kProbeStep = 8;

bool FindConfigFields(const Deliverable& driver, void* instance, HWND box, ConfigFields* fields) {
    QP240REMOTE_Context before = {};
    driver.GetContext(instance, &before);
    RECT client = {};
    GetClientRect(box, &client);
    POINT found[2];
    bool seen[2] = {false, false};
    for (int y = kProbeStep / 2; y < client.bottom && !(seen[0] && seen[1]); y += kProbeStep) {
        for (int x = kProbeStep / 2; x < client.right; x += kProbeStep) {
            const int hit = ProbeClick(driver, instance, box, before, x, y);
            if (hit >= 0 && !seen[hit]) {
                found[hit] = POINT{x, y};
                seen[hit] = true;
            }
        }
    }
    for (int field = 0; field < 2; ++field) {
        if (!seen[field])
            return false;
        const POINT in = found[field];
        // The outline itself takes no click: it lies one beyond the last hit.
        fields->field[field] =
            RECT{LastHit(driver, instance, box, before, in, -1, true, field) - 1,
                 LastHit(driver, instance, box, before, in, -1, false, field) - 1,
                 LastHit(driver, instance, box, before, in, client.right, true, field) + 1,
                 LastHit(driver, instance, box, before, in, client.bottom, false, field) + 1};
    }
    PumpHostMessages();
    return true;
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
            context.keyMode == QP240REMOTE_KEY_MODE_PADS ? "pad protocol" : "MIDI",
            context.midiChannel, context.midiChannel + 1);
}

static bool SaveBox(HWND box, const char* pngPath) {
    WindowPicture picture = {};
    if (!CaptureWindow(box, &picture))
        return false;
    return WritePng(pngPath, picture.rgb.data(), picture.width, picture.height);
}

int RunConfigBoxView(const char* pngPath, const char* dllPath) {
    const std::string path = dllPath != nullptr ? dllPath : DeliverablePath(kFamily32Keys);

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

    HWND host = CreateSimulatedHostWindow(QP240REMOTE_BOX_WIDTH, QP240REMOTE_BOX_HEIGHT);
    LogLine("QP240REMOTE_OpenConfigBox -> %d",
            driver.OpenConfigBox(instance, host, kHostMargin, kHostMargin, QP240REMOTE_BOX_WIDTH,
                                 QP240REMOTE_BOX_HEIGHT));
    PumpHostMessages();
    HWND box = FindConfigBox(host);
    ConfigFields fields = {};
    int result = 0;
    if (box == nullptr) {
        LogLine("no configuration box in the host window");
        result = 1;
    } else if (!FindConfigFields(driver, instance, box, &fields)) {
        LogLine("no click on the box changes the key mode and the channel");
        result = 1;
    } else {
        // From the pad protocol to MIDI, then two steps of the channel.
        const QP240REMOTE_Context start = {QP240REMOTE_KEY_MODE_PADS, 0, stored.padBank};
        LogLine("QP240REMOTE_SetContext(pad protocol, channel 0) -> %d",
                driver.SetContext(instance, &start, sizeof start));
        PumpHostMessages();
        ClickConfigField(box, fields, 0);
        LogContext(driver, instance, "click on KEY MODE");
        ClickConfigField(box, fields, 1);
        ClickConfigField(box, fields, 1);
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
