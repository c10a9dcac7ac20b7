#include "config/config_box.h"

#include "config/config_box_layout.h"
#include "driver/library_state.h"
#include "driver/plug_information.h"
#include "toolkit/drawing_resources.h"

// Colours, pens and fonts of the shared drawing resources, by index.
static constexpr int kBlack = 0;
static constexpr int kLabelColour = 12;  // mid grey
static constexpr int kTextColour = 13;   // light grey
static constexpr int kValueColour = 14;  // very light grey; also the field outline
static constexpr int kVersionFont = 6;   // Arial 16
static constexpr int kValueFont = 8;     // Arial 18
static constexpr int kTitleFont = 9;     // Arial 18 bold; also the field labels
static constexpr int kModelFont = 14;    // Arial 38

static FieldRect ClientRect(HWND window) {
    RECT client = {0, 0, 0, 0};
    GetClientRect(window, &client);
    return FieldRect{client.left, client.top, client.right, client.bottom};
}

static void DrawTextIn(HDC dc, const char* text, const FieldRect& area, UINT format) {
    RECT rect = {area.left, area.top, area.right, area.bottom};
    DrawTextA(dc, text, -1, &rect, format);
}

// The keypad picture at its own size, through a memory context that is gone
// again before this returns: the only object painting creates.
static void DrawKeypadPicture(HDC dc, int32_t left, int32_t top) {
    HBITMAP picture = g_library.keypadPicture;
    BITMAP size = {};
    if (picture == nullptr || GetObjectA(picture, sizeof size, &size) == 0)
        return;
    HDC memory = CreateCompatibleDC(dc);
    if (memory == nullptr)
        return;
    HGDIOBJ oldBitmap = SelectObject(memory, picture);
    BitBlt(dc, left, top, size.bmWidth, size.bmHeight, memory, 0, 0, SRCCOPY);
    SelectObject(memory, oldBitmap);
    DeleteDC(memory);
}

int PaintConfigBackground(HWND window, HDC dc) {
    const FieldRect client = ClientRect(window);
    // Read before anything is selected: a selection that fails (a shared
    // object missing) answers null, which would restore nothing.
    HGDIOBJ oldPen = GetCurrentObject(dc, OBJ_PEN);
    HGDIOBJ oldBrush = GetCurrentObject(dc, OBJ_BRUSH);
    HGDIOBJ oldFont = GetCurrentObject(dc, OBJ_FONT);
    SelectObject(dc, ToolkitPen(kBlack));
    SelectObject(dc, ToolkitBrush(kBlack));
    Rectangle(dc, client.left, client.top, client.right, client.bottom);

    DrawKeypadPicture(dc, client.left + kPictureLeft, client.top + kPictureTop);

    FieldRect column = ConfigTextColumn(client);
    const int oldMode = SetBkMode(dc, TRANSPARENT);
    SelectObject(dc, ToolkitFont(kTitleFont));
    const COLORREF oldColour = SetTextColor(dc, ToolkitColour(kTextColour));
    DrawTextIn(dc, kConfigTitleText, column, DT_SINGLELINE | DT_CENTER);

    column.top += kModelLineDrop;
    SelectObject(dc, ToolkitFont(kModelFont));
    SetTextColor(dc, ToolkitColour(kValueColour));
    DrawTextIn(dc, reinterpret_cast<const char*>(kPlugInformation.bytes + kPlugModelOffset), column,
               DT_SINGLELINE | DT_CENTER);

    column.top += kVersionLineDrop;
    char version[kConfigTextSize];
    FormatVersionText(version);
    SelectObject(dc, ToolkitFont(kVersionFont));
    SetTextColor(dc, ToolkitColour(kTextColour));
    DrawTextIn(dc, version, column, DT_SINGLELINE | DT_CENTER);

    SetTextColor(dc, oldColour);
    SelectObject(dc, oldFont);
    SetBkMode(dc, oldMode);
    SelectObject(dc, oldBrush);
    SelectObject(dc, oldPen);
    return 1;
}

// One field: outline in colour 14 over a black inside (the brush selected by
// the caller), the label, and the value 23 below it.
static void PaintField(HDC dc, const FieldRect& field, const char* label, const char* value) {
    SelectObject(dc, ToolkitPen(kValueColour));
    RoundRect(dc, field.left, field.top, field.right, field.bottom, kFieldCorner, kFieldCorner);

    FieldRect text = FieldLabelRect(field);
    SelectObject(dc, ToolkitFont(kTitleFont));
    SetTextColor(dc, ToolkitColour(kLabelColour));
    DrawTextIn(dc, label, text, DT_SINGLELINE);

    text.top += kFieldValueDrop;
    SelectObject(dc, ToolkitFont(kValueFont));
    SetTextColor(dc, ToolkitColour(kValueColour));
    DrawTextIn(dc, value, text, DT_SINGLELINE);
}

void PaintConfigFields(DriverInstance* instance, HWND window, HDC dc) {
    const FieldRect client = ClientRect(window);
    const int oldMode = SetBkMode(dc, TRANSPARENT);
    HGDIOBJ oldPen = GetCurrentObject(dc, OBJ_PEN);
    HGDIOBJ oldBrush = GetCurrentObject(dc, OBJ_BRUSH);
    HGDIOBJ oldFont = GetCurrentObject(dc, OBJ_FONT);
    SelectObject(dc, ToolkitBrush(kBlack));
    SelectObject(dc, ToolkitFont(kValueFont));
    const COLORREF oldColour = GetTextColor(dc);

    // Read each setting once: the worker never writes them, but another host
    // thread's context call may, and the paint must show one value.
    const int32_t keyMode = instance->keyMode.load(std::memory_order_relaxed);
    const int32_t midiChannel = instance->midiChannel.load(std::memory_order_relaxed);

    instance->modeFieldRect = ModeFieldRect(client);
    PaintField(dc, instance->modeFieldRect, kModeLabelText, KeyModeText(keyMode));

    char channel[kConfigTextSize];
    FormatChannelText(channel, midiChannel);
    instance->channelFieldRect = ChannelFieldRect(client);
    PaintField(dc, instance->channelFieldRect, kChannelLabelText, channel);

    SetTextColor(dc, oldColour);
    SelectObject(dc, oldFont);
    SelectObject(dc, oldBrush);
    SelectObject(dc, oldPen);
    SetBkMode(dc, oldMode);
}

void HandleConfigClick(DriverInstance* instance, HWND window, int32_t x, int32_t y) {
    // One whole store per click: the worker reads the value whole, old or new.
    if (FieldHit(instance->modeFieldRect, x, y)) {
        const int32_t keyMode = instance->keyMode.load(std::memory_order_relaxed);
        instance->keyMode.store(ToggledKeyMode(keyMode), std::memory_order_relaxed);
    } else if (FieldHit(instance->channelFieldRect, x, y)) {
        const int32_t midiChannel = instance->midiChannel.load(std::memory_order_relaxed);
        instance->midiChannel.store(NextMidiChannel(midiChannel), std::memory_order_relaxed);
    } else {
        return;
    }
    InvalidateRect(window, nullptr, FALSE);
}

void ConfigBoxRepaintFields(DriverInstance* instance) {
    if (HWND box = ConfigBoxOf(instance))
        InvalidateRect(box, nullptr, FALSE);
}

// Guards every binding of a box to its instance against a host thread other
// than the box's own that closes the box (and may free the instance next).
// The box's thread holds it while a message works on the instance, that
// thread unbinds under it; nothing under it sends a message or waits.
static SRWLOCK g_boxBinding = SRWLOCK_INIT;

static DriverInstance* BoundInstance(HWND window) {
    return reinterpret_cast<DriverInstance*>(GetWindowLongPtrA(window, 0));
}

// The box goes away while its instance lives on (with the host's parent
// window, for instance): the instance forgets it, so a later open makes a new
// box, a close reports that none is open and context calls repaint nothing.
static void ConfigBoxOnDestroy(DriverInstance* instance, HWND window) {
    SetWindowLongPtrA(window, 0, 0);
    if (instance->configWindow == window)
        instance->configWindow = nullptr;
}

HWND ConfigBoxOf(DriverInstance* instance) {
    AcquireSRWLockExclusive(&g_boxBinding);
    HWND window = instance->configWindow;
    if (window != nullptr && (!IsWindow(window) || BoundInstance(window) != instance)) {
        window = nullptr;
        instance->configWindow = nullptr;
    }
    ReleaseSRWLockExclusive(&g_boxBinding);
    return window;
}

void ConfigBoxClose(DriverInstance* instance) {
    AcquireSRWLockExclusive(&g_boxBinding);
    HWND window = instance->configWindow;
    instance->configWindow = nullptr;
    ReleaseSRWLockExclusive(&g_boxBinding);
    if (window == nullptr || DestroyWindow(window))
        return;
    // Only the box's own thread may destroy it. From any other host thread
    // the box is unbound first, since the instance may be freed next, and its
    // thread is asked to close it; an unbound box touches nothing. A message
    // of the box at work on the instance finishes before the unbinding.
    AcquireSRWLockExclusive(&g_boxBinding);
    if (BoundInstance(window) == instance)
        SetWindowLongPtrA(window, 0, 0);
    ReleaseSRWLockExclusive(&g_boxBinding);
    // The host may end the library and unload it before that thread next
    // looks at its messages: the box's last messages, the close included, go
    // to the system's default procedure, not to code that may be gone.
    SetWindowLongPtrA(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(DefWindowProcA));
    PostMessageA(window, WM_CLOSE, 0, 0);
}

// The box binds itself and becomes its instance's box in one step, under the
// binding: of two opens on two threads at once only one box is made, and the
// other creation fails (-1) before its window could be bound to anything.
static LRESULT ConfigBoxOnCreate(HWND window, const CREATESTRUCTA* create) {
    DriverInstance* instance = static_cast<DriverInstance*>(create->lpCreateParams);
    AcquireSRWLockExclusive(&g_boxBinding);
    HWND current = instance->configWindow;
    const bool taken =
        current != nullptr && IsWindow(current) && BoundInstance(current) == instance;
    if (!taken) {
        SetWindowLongPtrA(window, 0, reinterpret_cast<LONG_PTR>(instance));
        instance->configWindow = window;
        instance->parentWindow = create->hwndParent;
    }
    ReleaseSRWLockExclusive(&g_boxBinding);
    return taken ? -1 : 0;
}

int32_t ConfigBoxOpen(DriverInstance* instance, HWND parent, int32_t x, int32_t y, int32_t width,
                      int32_t height) {
    HWND box = ConfigBoxOf(instance);
    if (box == nullptr) {
        box = CreateWindowExA(0, kConfigBoxClassName, nullptr, WS_CHILD | WS_VISIBLE | WS_TABSTOP,
                              x, y, width, height, parent, nullptr, g_library.module, instance);
        if (box != nullptr) {
            ShowWindow(box, SW_SHOW);
            UpdateWindow(box);
            return 0;
        }
        // Refused because another thread's open made the box meanwhile: this
        // open is a second open. Otherwise no window could be made.
        box = ConfigBoxOf(instance);
        if (box == nullptr)
            return 0;
    }
    SetWindowPos(box, HWND_TOP, x, y, width, height, SWP_SHOWWINDOW);
    return 1;
}

// The messages that work on the instance, with the binding held and read
// again under it: another thread may have unbound the box meanwhile.
static void ConfigBoxOnBoundMessage(HWND window, UINT message, LPARAM lParam, HDC dc) {
    AcquireSRWLockExclusive(&g_boxBinding);
    DriverInstance* instance = BoundInstance(window);
    if (instance != nullptr) {
        if (message == WM_DESTROY)
            ConfigBoxOnDestroy(instance, window);
        else if (message == WM_PAINT)
            PaintConfigFields(instance, window, dc);
        else
            HandleConfigClick(instance, window, static_cast<int16_t>(LOWORD(lParam)),
                              static_cast<int16_t>(HIWORD(lParam)));
    }
    ReleaseSRWLockExclusive(&g_boxBinding);
}

LRESULT CALLBACK ConfigBoxWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_CREATE)
        return ConfigBoxOnCreate(window, reinterpret_cast<const CREATESTRUCTA*>(lParam));
    // Before WM_CREATE and after the box was unbound there is no instance.
    if (BoundInstance(window) == nullptr)
        return DefWindowProcA(window, message, wParam, lParam);

    switch (message) {
        case WM_DESTROY:
        case WM_LBUTTONDOWN:
            ConfigBoxOnBoundMessage(window, message, lParam, nullptr);
            return 0;
        case WM_PAINT: {
            // The erase that BeginPaint sends paints no setting: it runs
            // before the binding is taken.
            PAINTSTRUCT paint;
            HDC dc = BeginPaint(window, &paint);
            if (dc != nullptr)
                ConfigBoxOnBoundMessage(window, message, 0, dc);
            EndPaint(window, &paint);
            return 0;
        }
        case WM_ERASEBKGND:
            return PaintConfigBackground(window, reinterpret_cast<HDC>(wParam));
    }
    return DefWindowProcA(window, message, wParam, lParam);
}
