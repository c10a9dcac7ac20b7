#include "config/config_box.h"

#include <atomic>

#include "config/config_box_layout.h"
#include "base/plug_information.h"
#include "toolkit/drawing_resources.h"
#include "toolkit/message_words.h"

HBITMAP g_keypadPicture = nullptr;

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
    HBITMAP picture = g_keypadPicture;
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
    DrawTextIn(
        dc, reinterpret_cast<const char*>(kPlugInformation.bytes + QP240REMOTE_PLUG_MODEL_OFFSET),
        column, DT_SINGLELINE | DT_CENTER);

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

void PaintConfigFields(ConfigBoxState* box, HWND window, HDC dc) {
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
    const int32_t keyMode = box->settings->keyMode.load(std::memory_order_relaxed);
    const int32_t midiChannel = box->settings->midiChannel.load(std::memory_order_relaxed);

    box->modeField = ModeFieldRect(client);
    PaintField(dc, box->modeField, kModeLabelText, KeyModeText(keyMode));

    char channel[kConfigTextSize];
    FormatChannelText(channel, midiChannel);
    box->channelField = ChannelFieldRect(client);
    PaintField(dc, box->channelField, kChannelLabelText, channel);

    SetTextColor(dc, oldColour);
    SelectObject(dc, oldFont);
    SelectObject(dc, oldBrush);
    SelectObject(dc, oldPen);
    SetBkMode(dc, oldMode);
}

void HandleConfigClick(ConfigBoxState* box, HWND window, int32_t x, int32_t y) {
    // One whole store per click: the worker reads the value whole, old or new.
    if (FieldHit(box->modeField, x, y)) {
        const int32_t keyMode = box->settings->keyMode.load(std::memory_order_relaxed);
        box->settings->keyMode.store(ToggledKeyMode(keyMode), std::memory_order_relaxed);
    } else if (FieldHit(box->channelField, x, y)) {
        const int32_t midiChannel = box->settings->midiChannel.load(std::memory_order_relaxed);
        box->settings->midiChannel.store(NextMidiChannel(midiChannel), std::memory_order_relaxed);
    } else {
        return;
    }
    InvalidateRect(window, nullptr, FALSE);
}

void ConfigBoxRepaintFields(ConfigBoxState* box) {
    if (HWND window = ConfigBoxOf(box))
        InvalidateRect(window, nullptr, FALSE);
}

// Guards window slot 0 of every box against the unbinding by a host thread
// other than the box's own: a box's thread reads the slot and takes a hold on
// the instance in one step under it (shared), the unbinding clears the slot
// under it (exclusive) before the box's own hold is let go of. Held for a few
// instructions; nothing else is done under it.
static SRWLOCK g_boxSlots = SRWLOCK_INIT;

// The box record window slot 0 names (its instance's), or null.
static ConfigBoxState* BoundBox(HWND window) {
    return reinterpret_cast<ConfigBoxState*>(GetWindowLongPtrA(window, 0));
}

// Under the instance's box lock: `window` stops being the instance's box, and
// the hold the binding kept is let go of (never the last: the caller holds the
// instance too).
static void Unbind(ConfigBoxState* box, HWND window) {
    box->window = nullptr;
    AcquireSRWLockExclusive(&g_boxSlots);
    if (BoundBox(window) == box)
        SetWindowLongPtrA(window, 0, 0);
    ReleaseSRWLockExclusive(&g_boxSlots);
    InstanceRelease(box->lifetime);
}

// Under the instance's box lock: the instance's box, or null. A box that went
// without its WM_DESTROY (its thread ended with it open) is forgotten here, and
// never taken for a window that since came to carry its handle.
static HWND BoxOf(ConfigBoxState* box) {
    HWND window = box->window;
    if (window != nullptr && (!IsWindow(window) || BoundBox(window) != box)) {
        Unbind(box, window);
        window = nullptr;
    }
    return window;
}

HWND ConfigBoxOf(ConfigBoxState* box) {
    AcquireSRWLockExclusive(&box->lock);
    HWND window = BoxOf(box);
    ReleaseSRWLockExclusive(&box->lock);
    return window;
}

bool ConfigBoxRegisterClass(HMODULE module) {
    WNDCLASSEXA boxClass = {};
    boxClass.cbSize = sizeof boxClass;
    boxClass.style = CS_HREDRAW | CS_VREDRAW;
    boxClass.lpfnWndProc = ConfigBoxWindowProc;
    boxClass.cbClsExtra = 0;
    boxClass.cbWndExtra = sizeof(LONG_PTR);  // slot 0: the box's ConfigBoxState
    boxClass.hInstance = module;
    boxClass.hCursor = LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW));
    boxClass.lpszClassName = kConfigBoxClassName;
    return RegisterClassExA(&boxClass) != 0;
}

bool ConfigBoxUnregisterClass(HMODULE module) {
    return UnregisterClassA(kConfigBoxClassName, module) != 0;
}

// An open races another thread's close: the box it moved may have been closed
// meanwhile, and the open then makes a new one. A few rounds of that and the
// open gives up as when no window can be made.
static constexpr int kOpenAttempts = 3;

// The box's code stays mapped for as long as the process runs, from the first
// box on: the system calls a box's procedure for as long as the window exists,
// on its own thread, whatever the host has unloaded meanwhile, and no frame of
// the procedure can let go of the library it runs in. Taken outside every
// lock of the driver, since it needs the loader lock.
static void PinForBoxes() {
    static std::atomic<bool> pinned{false};
    // Relaxed: pinning twice is harmless; the flag only saves the call.
    if (pinned.load(std::memory_order_relaxed))
        return;
    HMODULE self = nullptr;
    if (GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_PIN,
                           reinterpret_cast<LPCSTR>(&ConfigBoxWindowProc), &self))
        pinned.store(true, std::memory_order_relaxed);
}

int32_t ConfigBoxOpen(ConfigBoxState* box, HMODULE module, HWND parent, int32_t x, int32_t y,
                      int32_t width, int32_t height) {
    PinForBoxes();
    for (int attempt = 0; attempt < kOpenAttempts; ++attempt) {
        HWND window = ConfigBoxOf(box);
        if (window == nullptr) {
            window =
                CreateWindowExA(0, kConfigBoxClassName, nullptr, WS_CHILD | WS_VISIBLE | WS_TABSTOP,
                                x, y, width, height, parent, nullptr, module, box);
            if (window != nullptr) {
                ShowWindow(window, SW_SHOW);
                UpdateWindow(window);
                return QP240REMOTE_OK;
            }
            // Refused because a Destroy claimed the instance meanwhile, or
            // because another thread's open made the box: this open is then a
            // second open. Otherwise no window could be made.
            if (InstanceClaimed(box->lifetime))
                return QP240REMOTE_E_BAD_HANDLE;
            window = ConfigBoxOf(box);
            if (window == nullptr)
                return QP240REMOTE_E_NO_WINDOW;
        }
        // Not under the box lock: from another thread the move waits for the
        // box's thread, whose messages may need the lock.
        SetWindowPos(window, HWND_TOP, x, y, width, height, SWP_SHOWWINDOW);
        // Still the instance's box: it was open while it moved.
        if (ConfigBoxOf(box) == window)
            return QP240REMOTE_ALREADY;
    }
    return QP240REMOTE_E_NO_WINDOW;
}

int32_t ConfigBoxClose(ConfigBoxState* box) {
    // Taken, forgotten and unbound in one step: of two closes at once one
    // closes, and nothing the destruction sends (the parent's
    // WM_PARENTNOTIFY, the box's own WM_DESTROY) finds the box bound. An
    // unbound box touches nothing; a message of the box at work on the
    // instance finishes before the unbinding.
    AcquireSRWLockExclusive(&box->lock);
    HWND window = BoxOf(box);
    if (window != nullptr)
        Unbind(box, window);
    ReleaseSRWLockExclusive(&box->lock);
    if (window == nullptr)
        return QP240REMOTE_ALREADY;
    if (DestroyWindow(window))
        return QP240REMOTE_OK;
    // Only the box's own thread may destroy it; from any other host thread it
    // is asked to. Its last messages, the close included, go to the system's
    // default procedure: an unbound box has nothing left to do.
    SetWindowLongPtrA(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(DefWindowProcA));
    PostMessageA(window, WM_CLOSE, 0, 0);
    return QP240REMOTE_OK;
}

// The handlers below run on the box's thread. Those that work on the instance
// get it from BindingTake, held and with its box lock taken until BindingGive,
// and null when the box is not (or no longer) bound: before its creation, or
// after another thread closed it. Nothing else reads the window's slot, so no
// handler can touch the instance unguarded.
static ConfigBoxState* BindingTake(HWND window) {
    AcquireSRWLockShared(&g_boxSlots);
    ConfigBoxState* box = BoundBox(window);
    // The binding's own hold keeps the record while the slot names it.
    if (box != nullptr)
        InstanceAddHold(box->lifetime);
    ReleaseSRWLockShared(&g_boxSlots);
    if (box == nullptr)
        return nullptr;
    AcquireSRWLockExclusive(&box->lock);
    if (box->window == window)
        return box;
    // Unbound while this thread waited for the lock.
    ReleaseSRWLockExclusive(&box->lock);
    InstanceRelease(box->lifetime);
    return nullptr;
}

// May free the record: the box's thread is then the last to let go of it.
static void BindingGive(ConfigBoxState* box) {
    if (box == nullptr)
        return;
    ReleaseSRWLockExclusive(&box->lock);
    InstanceRelease(box->lifetime);
}

// The box binds itself and becomes its instance's box in one step: of two
// opens on two threads at once only one box is made, and the other creation
// fails (-1) before its window was bound to anything, as does the creation of
// an open that a Destroy overtook. The creating open holds the instance; the
// binding takes a hold of its own.
static LRESULT ConfigBoxOnCreate(HWND window, const CREATESTRUCTA* create) {
    ConfigBoxState* box = static_cast<ConfigBoxState*>(create->lpCreateParams);
    AcquireSRWLockExclusive(&box->lock);
    LRESULT result = -1;
    // A Destroy claims the instance before it closes the box under this lock:
    // an open that overlaps it makes no box the close could no longer see.
    if (!InstanceClaimed(box->lifetime) && BoxOf(box) == nullptr) {
        InstanceAddHold(box->lifetime);
        AcquireSRWLockExclusive(&g_boxSlots);
        SetWindowLongPtrA(window, 0, reinterpret_cast<LONG_PTR>(box));
        ReleaseSRWLockExclusive(&g_boxSlots);
        box->window = window;
        result = 0;
    }
    ReleaseSRWLockExclusive(&box->lock);
    return result;
}

// The box goes away while its instance lives on (with the host's parent
// window, for instance): the instance forgets it, so a later open makes a new
// box, a close reports that none is open and context calls repaint nothing.
static void ConfigBoxOnDestroy(HWND window) {
    ConfigBoxState* box = BindingTake(window);
    if (box != nullptr)
        Unbind(box, window);
    BindingGive(box);
}

// The static layer, whenever the system erases: inside BeginPaint, or outside
// it (RedrawWindow with RDW_ERASENOW). It reads no instance, only the
// toolkit's objects and the picture, under the toolkit's paint guard.
static LRESULT ConfigBoxOnEraseBackground(HWND window, HDC dc) {
    if (ToolkitPaintBegin())
        PaintConfigBackground(window, dc);
    ToolkitPaintEnd();
    return 1;
}

// BeginPaint's erase takes the paint guard by itself, before the fields take
// it again: a lock of this thread's is never taken twice.
static void ConfigBoxOnPaint(HWND window) {
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(window, &paint);
    ConfigBoxState* box = BindingTake(window);
    if (dc != nullptr && box != nullptr) {
        if (ToolkitPaintBegin())
            PaintConfigFields(box, window, dc);
        ToolkitPaintEnd();
    }
    BindingGive(box);
    EndPaint(window, &paint);
}

static void ConfigBoxOnLButtonDown(HWND window, int32_t x, int32_t y) {
    ConfigBoxState* box = BindingTake(window);
    if (box != nullptr)
        HandleConfigClick(box, window, x, y);
    BindingGive(box);
}

// What the system does by default runs without the box lock: it may wait on
// the parent's thread while that thread waits for the lock. A parent's handler
// of a message forwarded this way may end the instance, End the library and
// unload it: this procedure touches nothing afterwards, and its code stays
// mapped (PinForBoxes).
LRESULT CALLBACK ConfigBoxWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_CREATE:
            return ConfigBoxOnCreate(window, reinterpret_cast<const CREATESTRUCTA*>(lParam));
        case WM_DESTROY:
            ConfigBoxOnDestroy(window);
            return 0;
        case WM_PAINT:
            ConfigBoxOnPaint(window);
            return 0;
        case WM_ERASEBKGND:
            return ConfigBoxOnEraseBackground(window, reinterpret_cast<HDC>(wParam));
        case WM_LBUTTONDOWN:
            ConfigBoxOnLButtonDown(window, LowSigned(lParam), HighSigned(lParam));
            return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}
