// A sample owner of the toolkit's mini list-view: a window that shows a cue
// list through the control and draws every row, arrow, thumb and page area
// itself with the toolkit's shared drawing objects. With --png it plays a
// short scripted run and saves what the window shows.
#include <cstdio>
#include <cstring>
#include <vector>

#include "toolkit/drawing_resources.h"
#include "toolkit/list_view.h"
#include "tools/common/png_writer.h"
#include "tools/common/window_picture.h"

static const char kUsage[] =
    "usage: list_view_sample [--png <file>] [--help]\n"
    "Shows a cue list through the toolkit's mini list-view. Arrows, Page Up/Down,\n"
    "Home, End and the wheel move the selection; Escape closes. With --png, plays\n"
    "a few keys, a wheel turn and a press on the page-down area, saves the window\n"
    "as a PNG and exits.\n";

static const char* const kCues[] = {
    "Opening theme",   "Station ident",  "News bed",        "Weather jingle", "Traffic sting",
    "Sports intro",    "Ad break in",    "Ad break out",    "Morning show",   "Listener call",
    "Competition bed", "Winner fanfare", "Top of the hour", "Time check",     "Drum roll",
    "Applause",        "Laugh track",    "Phone ring",      "Door bell",      "Crowd cheer",
    "Closing theme",   "Emergency tone", "Silence filler",  "Station close",
};
static const int32_t kCueCount = sizeof kCues / sizeof kCues[0];

// Window layout, in client pixels of the owner.
static const int kOwnerWidth = 300, kOwnerHeight = 280;
static const int kListLeft = 12, kListTop = 40, kListWidth = 276, kListHeight = 206;
static const int32_t kBarWidth = 18, kThumbLength = 28, kRowHeight = 20;

// Palette, brush and pen indexes of the toolkit's shared objects.
static const int kBlack = 0, kBlue = 5, kLilac = 6, kDarkGrey = 9, kGrey10 = 10, kGrey11 = 11;
static const int kMidGrey = 12, kLightGrey = 13, kPaleGrey = 14, kWhite = 15;
static const int kFontText = 6, kFontTitle = 9;

struct Sample {
    HWND owner;
    HWND list;
    int32_t selected;  // 0 until the control reports one
};

static Sample g_sample;

// Every drawing below selects the toolkit's objects and puts back what the
// context held before, in reverse order.
struct SavedContext {
    HGDIOBJ pen, brush, font;
    int mode;
    COLORREF text;
};

static SavedContext Select(HDC dc, int pen, int brush, int font, int textColour) {
    SavedContext saved;
    saved.pen = SelectObject(dc, g_drawing.pens[pen]);
    saved.brush = SelectObject(dc, g_drawing.brushes[brush]);
    saved.font = SelectObject(dc, g_drawing.fonts[font]);
    saved.mode = SetBkMode(dc, TRANSPARENT);
    saved.text = SetTextColor(dc, g_drawing.palette[textColour]);
    return saved;
}

static void Restore(HDC dc, const SavedContext& saved) {
    SetTextColor(dc, saved.text);
    SetBkMode(dc, saved.mode);
    SelectObject(dc, saved.font);
    SelectObject(dc, saved.brush);
    SelectObject(dc, saved.pen);
}

static void Fill(HDC dc, const RECT& rect, int colour) {
    FillRect(dc, &rect, g_drawing.brushes[colour]);
}

static void DrawRow(const ListViewDrawRecord* record, const RECT& rect) {
    HDC dc = record->deviceContext;
    const bool exists = record->item >= 1 && record->item <= kCueCount;
    const bool selected = exists && record->state == 1;
    Fill(dc, rect, selected ? kBlue : record->item % 2 == 0 ? kPaleGrey : kWhite);
    if (!exists)
        return;  // rows past the end stay empty
    const SavedContext saved = Select(dc, kBlack, kWhite, kFontText, selected ? kWhite : kBlack);
    char text[64];
    std::snprintf(text, sizeof text, "%02d   %s", record->item, kCues[record->item - 1]);
    // Laid out as in a whole row and clipped to the slot, so the partly
    // visible last row shows the top of its text.
    ExtTextOutA(dc, rect.left + 6, rect.top + (kRowHeight - 16) / 2, ETO_CLIPPED, &rect, text,
                static_cast<UINT>(std::strlen(text)), nullptr);
    Restore(dc, saved);
}

// An arrow button: a raised square with a white triangle pointing `up` or down.
static void DrawArrow(HDC dc, const RECT& rect, bool up, bool pressed) {
    Fill(dc, rect, pressed ? kGrey10 : kMidGrey);
    const SavedContext saved = Select(dc, kWhite, kWhite, kFontText, kBlack);
    const int cx = (rect.left + rect.right) / 2, cy = (rect.top + rect.bottom) / 2;
    const int tip = up ? -3 : 3;
    const POINT triangle[] = {{cx - 5, cy - tip}, {cx + 5, cy - tip}, {cx, cy + tip}};
    Polygon(dc, triangle, 3);
    Restore(dc, saved);
}

static void DrawThumb(HDC dc, const RECT& rect, bool pressed) {
    const RECT body = {rect.left + 2, rect.top + 1, rect.right - 2, rect.bottom - 1};
    Fill(dc, body, pressed ? kDarkGrey : kGrey11);
    const SavedContext saved = Select(dc, kLightGrey, kGrey11, kFontText, kBlack);
    for (int y = -3; y <= 3; y += 3) {  // grip lines
        const int at = (rect.top + rect.bottom) / 2 + y;
        MoveToEx(dc, rect.left + 5, at, nullptr);
        LineTo(dc, rect.right - 5, at);
    }
    Restore(dc, saved);
}

static void ShowSelection(int32_t item, const char* how) {
    g_sample.selected = item;
    std::printf("%s: %02d %s\n", how, item, item >= 1 && item <= kCueCount ? kCues[item - 1] : "");
    RECT status = {0, kListTop + kListHeight, kOwnerWidth, kOwnerHeight};
    InvalidateRect(g_sample.owner, &status, TRUE);
}

// The list-view's callback: draws what it is asked to, in the control's
// client coordinates, and hears of clicks and selection changes.
static int32_t OnListView(int64_t, int32_t code, ListViewDrawRecord* record) {
    const RECT rect = {record->left, record->top, record->left + record->width,
                       record->top + record->height};
    HDC dc = record->deviceContext;
    switch (code) {
        case MLV_DRAW_ITEMS_BACKGROUND:
            Fill(dc, rect, kWhite);
            break;
        case MLV_DRAW_BAR_BACKGROUND:
            Fill(dc, rect, kLightGrey);
            break;
        case MLV_DRAW_ITEM:
            DrawRow(record, rect);
            break;
        case MLV_DRAW_UP_ARROW:
            DrawArrow(dc, rect, true, record->state == 1);
            break;
        case MLV_DRAW_DOWN_ARROW: {
            // The thumb comes with the down arrow's code; only the arrow
            // reaches the bottom of the control.
            RECT client;
            GetClientRect(record->window, &client);
            if (rect.bottom == client.bottom)
                DrawArrow(dc, rect, false, record->state == 1);
            else
                DrawThumb(dc, rect, record->state == 1);
            break;
        }
        case MLV_DRAW_PAGE_UP_AREA:
        case MLV_DRAW_PAGE_DOWN_AREA:
            Fill(dc, rect, record->state == 1 ? kLilac : kLightGrey);
            break;
        case MLV_ITEM_CLICKED:
            ShowSelection(record->item, record->state == 1 ? "clicked again" : "clicked");
            break;
        case MLV_SELECTION_CHANGED:
            ShowSelection(record->item, "selected");
            break;
    }
    return 0;
}

static void PaintOwner(HWND window) {
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(window, &paint);
    RECT client;
    GetClientRect(window, &client);
    Fill(dc, client, kPaleGrey);
    const SavedContext saved = Select(dc, kBlack, kPaleGrey, kFontTitle, kBlack);
    TextOutA(dc, kListLeft, 12, "Cue list", 8);
    SelectObject(dc, g_drawing.fonts[kFontText]);
    char status[64];
    std::snprintf(status, sizeof status, "Selected: %02d of %d", g_sample.selected, kCueCount);
    TextOutA(dc, kListLeft, kListTop + kListHeight + 10, status,
             static_cast<int>(std::strlen(status)));
    Restore(dc, saved);
    EndPaint(window, &paint);
}

static LRESULT CALLBACK OwnerProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_PAINT:
            PaintOwner(window);
            return 0;
        case WM_KEYDOWN:  // keys the list does not use come here
            if (wParam == VK_ESCAPE)
                DestroyWindow(window);
            return 0;
        case WM_DESTROY:
            PostQuitMessage(0);
            return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

static bool CreateWindows(HINSTANCE module) {
    WNDCLASSA ownerClass = {};
    ownerClass.lpfnWndProc = OwnerProc;
    ownerClass.hInstance = module;
    ownerClass.hCursor = LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW));
    ownerClass.lpszClassName = "ListViewSampleOwner";
    if (RegisterClassA(&ownerClass) == 0)
        return false;
    RECT frame = {0, 0, kOwnerWidth, kOwnerHeight};
    const DWORD style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN;
    AdjustWindowRect(&frame, style, FALSE);
    g_sample.owner = CreateWindowExA(0, "ListViewSampleOwner", "List view sample", style,
                                     CW_USEDEFAULT, CW_USEDEFAULT, frame.right - frame.left,
                                     frame.bottom - frame.top, nullptr, nullptr, module, nullptr);
    if (g_sample.owner == nullptr)
        return false;

    // The creation record: the fields the creator sets, zero everywhere else.
    ListViewState image = {};
    image.owner = g_sample.owner;
    image.width = kListWidth;
    image.height = kListHeight;
    image.controlId = 1;
    image.barWidth = kBarWidth;
    image.thumbLength = kThumbLength;
    image.itemCount = kCueCount;
    image.rowHeight = kRowHeight;
    image.draw.callback = OnListView;
    g_sample.list =
        CreateWindowExA(0, MLV_CLASS_NAME, "", WS_CHILD | WS_VISIBLE, kListLeft, kListTop,
                        kListWidth, kListHeight, g_sample.owner, nullptr, module, &image);
    g_sample.selected = 1;
    return g_sample.list != nullptr;
}

// Copies the owner's client area, list included, into a PNG file.
static bool SavePicture(const char* path) {
    WindowPicture picture = {};
    return CaptureWindow(g_sample.owner, &picture) &&
           WritePng(path, picture.rgb.data(), picture.width, picture.height);
}

static LPARAM Point(int x, int y) {
    return MAKELPARAM(static_cast<WORD>(x), static_cast<WORD>(y));
}

// Plays what a user might do, through the messages the system would send, and
// saves the window while the page-down area is held.
static bool PlayAndSave(const char* path) {
    UpdateWindow(g_sample.owner);
    for (int i = 0; i < 5; ++i)
        SendMessageA(g_sample.list, WM_KEYDOWN, VK_DOWN, 0x00500001);
    SendMessageA(g_sample.list, WM_MOUSEWHEEL, static_cast<WPARAM>(WHEEL_DELTA) << 16, 0);
    SendMessageA(g_sample.list, WM_LBUTTONDOWN, MK_LBUTTON, Point(40, 8 * kRowHeight + 8));
    SendMessageA(g_sample.list, WM_LBUTTONUP, 0, Point(40, 8 * kRowHeight + 8));
    UpdateWindow(g_sample.owner);
    const POINT pageDown = {kListWidth - kBarWidth / 2, kListHeight - kBarWidth - 4};
    SendMessageA(g_sample.list, WM_LBUTTONDOWN, MK_LBUTTON, Point(pageDown.x, pageDown.y));
    const bool saved = SavePicture(path);
    SendMessageA(g_sample.list, WM_LBUTTONUP, 0, Point(pageDown.x, pageDown.y));
    if (saved)
        std::printf("saved %s\n", path);
    else
        std::fprintf(stderr, "list_view_sample: cannot write %s\n", path);
    return saved;
}

int main(int argc, char** argv) {
    const char* pngPath = nullptr;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
            std::fputs(kUsage, stdout);
            return 0;
        }
        if (std::strcmp(argv[i], "--png") != 0) {
            std::fprintf(stderr, "list_view_sample: unknown option %s\n%s", argv[i], kUsage);
            return 2;
        }
        if (i + 1 >= argc) {
            std::fprintf(stderr, "list_view_sample: --png needs a file name\n");
            return 2;
        }
        pngPath = argv[++i];
    }
    HINSTANCE module = GetModuleHandleA(nullptr);
    if (ToolkitInit(module) == 0) {
        std::fprintf(stderr, "list_view_sample: the list-view class cannot be registered\n");
        return 1;
    }
    int result = 0;
    if (!CreateWindows(module)) {
        std::fprintf(stderr, "list_view_sample: cannot create the windows\n");
        result = 1;
    } else if (pngPath != nullptr) {
        ShowWindow(g_sample.owner, SW_SHOWNOACTIVATE);
        result = PlayAndSave(pngPath) ? 0 : 1;
        DestroyWindow(g_sample.owner);
    } else {
        ShowWindow(g_sample.owner, SW_SHOW);
        SetFocus(g_sample.list);
        MSG message;
        while (GetMessageA(&message, nullptr, 0, 0) > 0) {
            TranslateMessage(&message);
            DispatchMessageA(&message);
        }
    }
    if (g_sample.owner != nullptr && IsWindow(g_sample.owner))
        DestroyWindow(g_sample.owner);
    ToolkitEnd();
    return result;
}
