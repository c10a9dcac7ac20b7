// The list-view's window procedure: decodes each message and hands it to one
// handler. Everything here runs on the thread that owns the window; the
// owner's callback is called synchronously from these handlers.
#include "toolkit/list_view.h"

#include "toolkit/list_view_geometry.h"
#include "toolkit/list_view_moves.h"
#include "toolkit/list_view_passes.h"
#include "toolkit/message_words.h"

// How a move shows itself: keys, the wheel and the page areas only invalidate;
// held arrows and their repeats draw the rows at once so the list keeps up.
enum ListViewRepaint { kListViewInvalidate, kListViewRowsNow };

// The state with what only the window procedure needs, kept behind the public
// record so that slot 0 still points at a plain ListViewState.
struct ListViewBlock {
    ListViewState state;
    int32_t depth;      // messages of this control now on the stack
    int32_t destroyed;  // WM_DESTROY came: free once depth is back to 0
};

static ListViewBlock* ListViewBlockOf(ListViewState* state) {
    return reinterpret_cast<ListViewBlock*>(state);
}

typedef void (*ListViewPaint)(ListViewState* state, HDC dc, int32_t pressed);

// Draws at once on a DC fetched for this drawing and given back right after.
static void DrawNow(ListViewState* state, ListViewPaint paint, int32_t pressed) {
    HDC dc = GetDC(state->window);
    paint(state, dc, pressed);
    ReleaseDC(state->window, dc);
}

static void Rows(ListViewState* state, HDC dc, int32_t) {
    ListViewRowPass(state, dc);
}

static void BarAndRows(ListViewState* state, HDC dc, int32_t) {
    ListViewBarPass(state, dc);
    ListViewRowPass(state, dc);
}

static void RowsAndThumb(ListViewState* state, HDC dc, int32_t pressed) {
    ListViewRowPass(state, dc);
    ListViewThumbPass(state, dc, pressed);
}

// Invalidation never erases: the rows and the bar cover the whole window.
static void Invalidate(const ListViewState* state) {
    InvalidateRect(state->window, nullptr, FALSE);
}

static bool Move(ListViewState* state, ListViewMove move, ListViewRepaint repaint) {
    if (!ListViewApplyMove(state, move))
        return false;
    if (repaint == kListViewRowsNow)
        DrawNow(state, Rows, 0);
    else
        Invalidate(state);
    ListViewNotifySelection(state);
    return true;
}

static void TakeCapture(ListViewState* state) {
    const HWND previous = SetCapture(state->window);
    // Pressed again while already holding it: keep the earlier holder, or the
    // release would hand the capture back to the control itself.
    if (previous != state->window)
        state->previousCapture = previous;
}

// Only a capture the control still holds is released and handed back: one
// taken meanwhile by another window stays where it is.
static void GiveBackCapture(ListViewState* state) {
    const HWND previous = state->previousCapture;
    state->previousCapture = nullptr;
    if (GetCapture() != state->window)
        return;
    ReleaseCapture();
    if (previous != nullptr)
        SetCapture(previous);
}

static void StopRepeat(ListViewState* state) {
    if (state->repeatTimer == 0)
        return;
    // Timer messages already queued find this and change nothing.
    state->repeatStopped = 1;
    KillTimer(state->window, static_cast<UINT_PTR>(state->repeatTimer));
    state->repeatTimer = 0;
}

static LRESULT ListViewOnCreate(HWND window, const ListViewState* image) {
    // The geometry and every row hit test divide by R: no image, or a row
    // height below 1, makes no window.
    if (image == nullptr || image->rowHeight < 1)
        return -1;
    ListViewBlock* block =
        static_cast<ListViewBlock*>(HeapAlloc(GetProcessHeap(), 0, sizeof(ListViewBlock)));
    if (block == nullptr)
        return -1;
    block->depth = 0;
    block->destroyed = 0;
    ListViewState* state = &block->state;
    *state = *image;
    state->window = window;
    state->draw.window = window;
    state->draw.controlId = static_cast<uint16_t>(state->controlId & 0xFFFF);
    state->enabled = 1;
    state->focused = 0;
    state->selection = 1;
    ListViewDeriveGeometry(state);
    SetWindowLongPtrA(window, 0, reinterpret_cast<LONG_PTR>(state));
    return 0;
}

// Cleared first: whatever arrives from here on finds no state. The block
// itself goes when the outermost message of this control returns, which is at
// once unless an owner's callback destroyed the control from inside one of
// its handlers; that handler then runs on with no callback left to call.
static void ListViewOnDestroy(HWND window, ListViewState* state) {
    SetWindowLongPtrA(window, 0, 0);
    state->draw.callback = nullptr;
    StopRepeat(state);
    ListViewBlockOf(state)->destroyed = 1;
}

static void ListViewOnSize(ListViewState* state, int32_t width, int32_t height) {
    state->width = width;
    state->height = height;
    ListViewDeriveGeometry(state);
}

// Only recorded: nothing is repainted and the owner is not told.
static void ListViewOnFocus(ListViewState* state, int32_t focused) {
    state->focused = focused;
}

static void ListViewOnPaint(ListViewState* state) {
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(state->window, &paint);
    ListViewBarPass(state, dc);
    ListViewRowPass(state, dc);
    EndPaint(state->window, &paint);
}

static void PressRow(ListViewState* state, int32_t row, int32_t x, int32_t modifiers) {
    const int64_t item = static_cast<int64_t>(row) + state->topIndex;
    if (item <= 0)
        return;
    ListViewDrawRecord* draw = &state->draw;
    draw->left = x;
    draw->height = state->rowHeight;
    draw->top = (row - 1) * state->rowHeight + kListViewHitRowOffset;
    if (item <= state->itemCount) {
        draw->clickWord = 0;
        draw->item = static_cast<int32_t>(item);
        draw->state = state->selection == item ? 1 : 0;
        state->selection = static_cast<int32_t>(item);
        draw->modifiers = modifiers;
        ListViewNotify(state, MLV_ITEM_CLICKED);
    }
    DrawNow(state, BarAndRows, 0);
}

static void PressArrow(ListViewState* state, int32_t part) {
    const bool down = part == MLV_HIT_DOWN_ARROW;
    DrawNow(state, down ? ListViewDrawDownArrow : ListViewDrawUpArrow, 1);
    Move(state, down ? kListViewStepForward : kListViewStepBack, kListViewRowsNow);
    DrawNow(state, ListViewThumbPass, 0);
    state->pressedPart = part;
    TakeCapture(state);
    state->repeatTicks = 0;
    state->repeatStopped = 0;
    state->repeatTimer =
        SetTimer(state->window, kListViewRepeatTimerId, kListViewRepeatPeriodMs, nullptr);
}

static void ListViewOnLButtonDown(ListViewState* state, int32_t x, int32_t y, int32_t modifiers) {
    if (!state->enabled || state->itemCount < 1)
        return;
    const int32_t part = ListViewHitTest(state, x, y);
    switch (part) {
        case MLV_HIT_UP_ARROW:
        case MLV_HIT_DOWN_ARROW:
            PressArrow(state, part);
            return;
        case MLV_HIT_THUMB:
            DrawNow(state, ListViewThumbPass, 1);
            state->pressedPart = part;
            TakeCapture(state);
            state->dragAnchor = y;
            return;
        case MLV_HIT_PAGE_UP:
        case MLV_HIT_PAGE_DOWN:
            // A page area acts at the release.
            DrawNow(state,
                    part == MLV_HIT_PAGE_UP ? ListViewDrawPageUpArea : ListViewDrawPageDownArea, 1);
            state->pressedPart = part;
            TakeCapture(state);
            return;
        case kListViewHitHiddenTrack:
            return;
        default:
            PressRow(state, part, x, modifiers);
            return;
    }
}

// Ends a press on a bar part; the page areas act here, wherever the button
// went up.
static void Release(ListViewState* state) {
    const int32_t part = state->pressedPart;
    state->pressedPart = MLV_NO_PART;
    switch (part) {
        case MLV_HIT_UP_ARROW:
            DrawNow(state, ListViewDrawUpArrow, 0);
            break;
        case MLV_HIT_DOWN_ARROW:
            DrawNow(state, ListViewDrawDownArrow, 0);
            break;
        case MLV_HIT_THUMB:
            DrawNow(state, ListViewThumbPass, 0);
            break;
        case MLV_HIT_PAGE_UP:
            if (!Move(state, kListViewPageUp, kListViewInvalidate))
                DrawNow(state, ListViewDrawPageUpArea, 0);
            break;
        case MLV_HIT_PAGE_DOWN:
            if (!Move(state, kListViewPageDown, kListViewInvalidate))
                DrawNow(state, ListViewDrawPageDownArea, 0);
            break;
        default:
            return;  // nothing held: the capture is not ours to touch
    }
    GiveBackCapture(state);
}

// WM_LBUTTONUP and WM_CANCELMODE.
static void ListViewOnLButtonUp(ListViewState* state) {
    if (state->enabled)
        Release(state);
    StopRepeat(state);
}

// Another window took the mouse while a bar part was held (a menu, a dialog,
// a drag elsewhere): the button's release will never come here, so the press
// ends now as WM_CANCELMODE ends it, or the arrow would repeat on and on.
static void ListViewOnCaptureChanged(ListViewState* state, HWND newHolder) {
    if (newHolder == state->window || !ListViewIsBarPart(state->pressedPart))
        return;
    ListViewOnLButtonUp(state);
}

static void ListViewOnMouseMove(ListViewState* state, int32_t y) {
    if (!state->enabled || !ListViewDragTo(state, y))
        return;
    DrawNow(state, RowsAndThumb, 1);
    ListViewNotifySelection(state);
}

// One step per message, whatever the size of the turn: away from the user
// (positive) goes on down the list.
static void ListViewOnMouseWheel(ListViewState* state, int32_t delta) {
    if (!state->enabled || delta == 0)
        return;
    Move(state, delta > 0 ? kListViewStepForward : kListViewStepBack, kListViewInvalidate);
}

static LRESULT ListViewOnMouseActivate(HWND window) {
    if (GetFocus() != window)
        SetFocus(window);
    return MA_ACTIVATE;
}

static void ListViewPostToOwner(const ListViewState* state, UINT message, WPARAM wParam,
                                LPARAM lParam) {
    PostMessageA(state->owner, message, wParam, lParam);
}

static bool NavigationMove(WPARAM key, ListViewMove* move) {
    switch (key) {
        case VK_PRIOR:
            *move = kListViewPageUp;
            return true;
        case VK_NEXT:
            *move = kListViewPageDown;
            return true;
        case VK_END:
            *move = kListViewLastItem;
            return true;
        case VK_HOME:
            *move = kListViewFirstItem;
            return true;
        case VK_UP:
        case VK_NUMPAD8:
            *move = kListViewStepBack;
            return true;
        case VK_DOWN:
        case VK_NUMPAD2:
            *move = kListViewStepForward;
            return true;
        default:
            return false;
    }
}

// Navigation keys are the control's own, and swallowed while it is disabled;
// every other key goes on to the owner (Tab and Escape included).
static void ListViewOnKeyDown(ListViewState* state, WPARAM key, LPARAM keyData) {
    ListViewMove move;
    if (!NavigationMove(key, &move))
        ListViewPostToOwner(state, WM_KEYDOWN, key, keyData);
    else if (state->enabled)
        Move(state, move, kListViewInvalidate);
}

static void ListViewOnCommand(ListViewState* state, WPARAM command) {
    if (command == MLV_CMD_ENABLE && state->enabled == 0) {
        state->enabled = 1;
        Invalidate(state);
    } else if (command == MLV_CMD_DISABLE && state->enabled != 0) {
        // A part held now would never see its release (releases are ignored
        // while disabled) and would keep the mouse captured and the arrow
        // repeating: end the press as a release would.
        Release(state);
        StopRepeat(state);
        state->enabled = 0;
        Invalidate(state);
    }
}

// False when the repeat already stopped: the message goes to the default
// procedure. The handler does not consult the enabled flag.
static bool ListViewOnTimer(ListViewState* state, WPARAM timerId) {
    if (timerId != kListViewRepeatTimerId)
        return true;
    if (state->repeatStopped == 1)
        return false;
    const uint32_t tick = state->repeatTicks;
    if (ListViewRepeatActs(tick)) {
        const bool down = state->pressedPart == MLV_HIT_DOWN_ARROW;
        Move(state, down ? kListViewStepForward : kListViewStepBack, kListViewRowsNow);
        DrawNow(state, ListViewThumbPass, 0);
    }
    state->repeatTicks = tick + 1;
    return true;
}

static LRESULT ListViewHandle(HWND window, ListViewState* state, UINT message, WPARAM wParam,
                              LPARAM lParam) {
    switch (message) {
        case WM_CREATE:
            return ListViewOnCreate(
                window, static_cast<const ListViewState*>(
                            reinterpret_cast<const CREATESTRUCTA*>(lParam)->lpCreateParams));
        case WM_DESTROY:
            ListViewOnDestroy(window, state);
            break;
        case WM_SIZE:
            ListViewOnSize(state, LowSigned(lParam), HighSigned(lParam));
            break;
        case WM_SETFOCUS:
        case WM_KILLFOCUS:
            ListViewOnFocus(state, message == WM_SETFOCUS ? 1 : 0);
            return 0;
        case WM_PAINT:
            ListViewOnPaint(state);
            return 0;
        case WM_CLOSE:
            DestroyWindow(window);
            return 0;
        case WM_ERASEBKGND:
            ListViewEraseBackground(state, reinterpret_cast<HDC>(wParam));
            return 1;
        case WM_LBUTTONDOWN:
            ListViewOnLButtonDown(state, LowSigned(lParam), HighSigned(lParam),
                                  static_cast<int32_t>(wParam & (MK_SHIFT | MK_CONTROL)));
            return 0;
        case WM_LBUTTONUP:
        case WM_CANCELMODE:
            ListViewOnLButtonUp(state);
            return 0;
        case WM_CAPTURECHANGED:
            ListViewOnCaptureChanged(state, reinterpret_cast<HWND>(lParam));
            return 0;
        case WM_MOUSEMOVE:
            ListViewOnMouseMove(state, HighSigned(lParam));
            return 0;
        case WM_MOUSEWHEEL:
            ListViewOnMouseWheel(state, HighSigned(wParam));
            return 0;
        case WM_MOUSEACTIVATE:
            return ListViewOnMouseActivate(window);
        case WM_KEYDOWN:
            ListViewOnKeyDown(state, wParam, lParam);
            return 0;
        case WM_KEYUP:
        case WM_SYSKEYDOWN:
        case WM_SYSKEYUP:
        case WM_SYSCOMMAND:
            ListViewPostToOwner(state, message, wParam, lParam);
            return 0;
        case WM_COMMAND:
            ListViewOnCommand(state, wParam);
            break;
        case WM_TIMER:
            return ListViewOnTimer(state, wParam) ? 0
                                                  : DefWindowProcA(window, message, wParam, lParam);
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

LRESULT CALLBACK ListViewWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_CREATE)
        return ListViewHandle(window, nullptr, message, wParam, lParam);
    ListViewState* state = reinterpret_cast<ListViewState*>(GetWindowLongPtrA(window, 0));
    // WM_NCCREATE and its like come before the state exists, WM_NCDESTROY
    // after it is gone; a failed creation never has one.
    if (state == nullptr)
        return DefWindowProcA(window, message, wParam, lParam);

    // Messages nest: the owner's callback may send the control more, or
    // destroy it. Only the outermost one may free the block.
    ListViewBlock* block = ListViewBlockOf(state);
    block->depth += 1;
    const LRESULT result = ListViewHandle(window, state, message, wParam, lParam);
    block->depth -= 1;
    if (block->depth == 0 && block->destroyed != 0)
        HeapFree(GetProcessHeap(), 0, block);
    return result;
}
