// The toolkit's mini list-view: an owner-drawn vertical list with its own
// scroll bar, for any owner window. The toolkit registers its class.
//
// The control paints nothing itself. Every visible element (each row, the
// backgrounds, the arrows, the thumb, the page areas) is handed to the owner's
// callback with a rectangle, a device context and a state flag; the same
// callback hears of clicks and selection changes.
//
// An owner creates one with CreateWindowExA(MLV_CLASS_NAME, child style,
// lpParam = address of a filled ListViewState image). The image is read only
// during WM_CREATE. Everything runs on the thread that owns the window.
#pragma once

#include <cstddef>
#include <cstdint>

#include "base/platform_types.h"

#ifndef _WIN32
typedef void* HDC;  // natively the core only hands the context on to the callback
#endif

// Class name owners pass to CreateWindowExA.
#define MLV_CLASS_NAME "Kolmar Mini List View"

// Callback codes: what the owner is asked to draw, or told about.
inline constexpr int32_t MLV_DRAW_ITEM = 1;              // one row slot of the row pass
inline constexpr int32_t MLV_DRAW_ITEMS_BACKGROUND = 4;  // rows area, at erase
inline constexpr int32_t MLV_DRAW_BAR_BACKGROUND = 5;    // bar strip at erase, or the track
inline constexpr int32_t MLV_DRAW_ITEMS_DONE = 6;        // after the last row of a row pass
inline constexpr int32_t MLV_ITEM_CLICKED = 7;           // a press on a row holding an item
inline constexpr int32_t MLV_SELECTION_CHANGED = 12;     // a move changed the selection
inline constexpr int32_t MLV_DRAW_UP_ARROW = 16;
inline constexpr int32_t MLV_DRAW_DOWN_ARROW = 17;  // also the thumb, told apart by its rectangle
inline constexpr int32_t MLV_DRAW_PAGE_UP_AREA = 19;
inline constexpr int32_t MLV_DRAW_PAGE_DOWN_AREA = 20;

// Part codes of the hit test; a result below MLV_HIT_UP_ARROW is a screen row.
inline constexpr int32_t MLV_HIT_UP_ARROW = 0x10000;
inline constexpr int32_t MLV_HIT_DOWN_ARROW = 0x20000;
inline constexpr int32_t MLV_HIT_THUMB = 0x40000;  // also the track that is no page area
inline constexpr int32_t MLV_HIT_PAGE_UP = 0x100000;
inline constexpr int32_t MLV_HIT_PAGE_DOWN = 0x200000;
inline constexpr int32_t MLV_NO_PART = -1;  // pressed part after a release

// Style bit: one row as high as the window.
inline constexpr int32_t MLV_STYLE_SINGLE_ROW = 0x1000000;

// WM_COMMAND wParam values the owner sends.
inline constexpr int32_t MLV_CMD_ENABLE = 1;
inline constexpr int32_t MLV_CMD_DISABLE = 2;

struct ListViewDrawRecord;

// Called synchronously inside the control's message handling. The result is
// ignored. The record is the control's own and stays valid while the window
// lives; fields a call does not fill keep what an earlier call left.
typedef int32_t (*ListViewCallback)(int64_t userValue, int32_t code, ListViewDrawRecord* record);

// One record for every callback call: slots 16 to 26 of the ListViewState.
struct ListViewDrawRecord {
    uint16_t controlId;         // low 16 bits of the state's control identifier
    uint8_t unused16[6];        // never written
    HWND window;                // the control's window
    int32_t item;               // row item, clicked item or the new selection
    int32_t unused18;           // never written
    int32_t unused19;           // never written
    int32_t top;                // rectangle, in client pixels
    int32_t left;               //
    int32_t width;              //
    int32_t height;             //
    int32_t modifiers;          // MK_SHIFT | MK_CONTROL bits of a click
    HDC deviceContext;          // valid only during the call
    int32_t state;              // selected row, pressed part, already-selected click, 1
    int32_t unused23;           // never written
    int64_t clickWord;          // 0 just before each click report
    ListViewCallback callback;  // set by the creator
    int64_t userValue;          // set by the creator, first argument of every call
};

// The control's state, and at the same time its creation record: the creator
// fills the fields marked "creator", zeroes the others and passes the image's
// address as the creation parameter. Everything else the control owns.
struct ListViewState {
    HWND owner;             // creator: keys and system messages are posted here
    HWND window;            // control: its own window
    int32_t unused2;        // not read
    int32_t width;          // creator, then every WM_SIZE: W, client width
    int32_t unused3;        // not read
    int32_t height;         // creator, then every WM_SIZE: H, client height
    int32_t controlId;      // creator: low 16 bits go to the draw record
    int32_t enabled;        // control: 1 handles mouse, wheel and navigation keys
    int32_t focused;        // control: 1 while it holds the keyboard focus
    int32_t style;          // creator: MLV_STYLE_SINGLE_ROW or 0
    int32_t barWidth;       // creator: B, bar width and arrow height
    int32_t barLeft;        // control: X = W - B
    int32_t trackTop;       // control: B
    int32_t trackLength;    // control: L = H - 2B
    int32_t thumbLength;    // creator: Th, fixed
    int32_t itemCount;      // creator: N
    int32_t topIndex;       // creator (normally 0): T, 0-based
    int32_t rowHeight;      // creator: R, at least 1
    int32_t visibleRows;    // control: V
    int32_t selection;      // control: S, 1-based, 1 at creation
    int32_t dragAnchor;     // control: y where the thumb drag last moved S
    int32_t barShown;       // control: 1; thumb and page areas exist only while 1
    HWND previousCapture;   // control: capture holder before a bar press, or null
    int32_t pressedPart;    // control: MLV_HIT_* held, else MLV_NO_PART (or 0)
    uint32_t repeatTicks;   // control: repeat-timer messages since the arrow press
    uint64_t repeatTimer;   // control: SetTimer result, 0 when not running
    int32_t repeatStopped;  // control: 1 once the repeat timer was killed
    int32_t unused15;       // not read
    ListViewDrawRecord draw;
};

// The record is part of the owners' binary interface: 27 slots of 64 bits.
static_assert(sizeof(ListViewDrawRecord) == 88, "draw record: slots 16-26");
static_assert(offsetof(ListViewDrawRecord, controlId) == 0);
static_assert(offsetof(ListViewDrawRecord, window) == 8);
static_assert(offsetof(ListViewDrawRecord, item) == 16);
static_assert(offsetof(ListViewDrawRecord, top) == 28);
static_assert(offsetof(ListViewDrawRecord, left) == 32);
static_assert(offsetof(ListViewDrawRecord, width) == 36);
static_assert(offsetof(ListViewDrawRecord, height) == 40);
static_assert(offsetof(ListViewDrawRecord, modifiers) == 44);
static_assert(offsetof(ListViewDrawRecord, deviceContext) == 48);
static_assert(offsetof(ListViewDrawRecord, state) == 56);
static_assert(offsetof(ListViewDrawRecord, clickWord) == 64);
static_assert(offsetof(ListViewDrawRecord, callback) == 72);
static_assert(offsetof(ListViewDrawRecord, userValue) == 80);

static_assert(sizeof(ListViewState) == 27 * 8, "state: 27 slots of 64 bits");
static_assert(offsetof(ListViewState, owner) == 0 * 8);
static_assert(offsetof(ListViewState, window) == 1 * 8);
static_assert(offsetof(ListViewState, width) == 2 * 8 + 4);
static_assert(offsetof(ListViewState, height) == 3 * 8 + 4);
static_assert(offsetof(ListViewState, controlId) == 4 * 8);
static_assert(offsetof(ListViewState, enabled) == 4 * 8 + 4);
static_assert(offsetof(ListViewState, focused) == 5 * 8);
static_assert(offsetof(ListViewState, style) == 5 * 8 + 4);
static_assert(offsetof(ListViewState, barWidth) == 6 * 8);
static_assert(offsetof(ListViewState, barLeft) == 6 * 8 + 4);
static_assert(offsetof(ListViewState, trackTop) == 7 * 8);
static_assert(offsetof(ListViewState, trackLength) == 7 * 8 + 4);
static_assert(offsetof(ListViewState, thumbLength) == 8 * 8);
static_assert(offsetof(ListViewState, itemCount) == 8 * 8 + 4);
static_assert(offsetof(ListViewState, topIndex) == 9 * 8);
static_assert(offsetof(ListViewState, rowHeight) == 9 * 8 + 4);
static_assert(offsetof(ListViewState, visibleRows) == 10 * 8);
static_assert(offsetof(ListViewState, selection) == 10 * 8 + 4);
static_assert(offsetof(ListViewState, dragAnchor) == 11 * 8);
static_assert(offsetof(ListViewState, barShown) == 11 * 8 + 4);
static_assert(offsetof(ListViewState, previousCapture) == 12 * 8);
static_assert(offsetof(ListViewState, pressedPart) == 13 * 8);
static_assert(offsetof(ListViewState, repeatTicks) == 13 * 8 + 4);
static_assert(offsetof(ListViewState, repeatTimer) == 14 * 8);
static_assert(offsetof(ListViewState, repeatStopped) == 15 * 8);
static_assert(offsetof(ListViewState, draw) == 16 * 8);

#ifdef _WIN32
// The class's window procedure; window slot 0 holds the ListViewState.
LRESULT CALLBACK ListViewWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
#endif
