// The toolkit's library-wide drawing objects: 16 colours with a solid brush and
// pen each, a dash-dot pen and 16 fonts, addressed by index. Windows select
// them while painting and never create or delete their own.
//
// Who may call what: ToolkitInit and ToolkitEnd run on the threads that call
// QP240REMOTE_Init and QP240REMOTE_End; the count is a plain integer, since
// those library-level calls are never made concurrently. Painting reads the
// tables on the window's thread, under the paint guard below.
#pragma once

#include <cstdint>

#include "base/platform_types.h"

inline constexpr int kPaletteSize = 16;
inline constexpr int kFontCount = 16;  // fonts 0..15

struct DrawingResources {
    int32_t referenceCount;  // resources exist while it is 1 or more
    COLORREF palette[kPaletteSize];
    HBRUSH brushes[kPaletteSize];  // brush i in colour i
    HPEN pens[kPaletteSize];       // solid pen i, width 0, in colour i
    HPEN dashDotPen;               // width 0, colour 0
    HFONT fonts[kFontCount];       // Arial; see kFontHeights and kFontWeights
    HINSTANCE listViewModule;      // module the list-view class was registered with
};

extern DrawingResources g_drawing;

// Cell heights in pixels and weights of fonts 0..15. Fonts 12 and 13 are the
// same description: both 26 high, weight 800.
inline constexpr int32_t kFontHeights[kFontCount] = {10, 10, 12, 12, 14, 14, 16, 16,
                                                     18, 18, 20, 20, 26, 26, 38, 38};
inline constexpr int32_t kFontWeights[kFontCount] = {400, 700, 400, 700, 400, 700, 400, 700,
                                                     400, 700, 400, 700, 800, 800, 400, 800};
inline constexpr char kFontFace[] = "Arial";

// Reference counted: only the start that takes the count from 0 to 1 creates
// anything. 1 when ready (also when already started), 0 when the list-view
// class could not be registered; the count stays raised either way.
int ToolkitInit(HINSTANCE module);
// Only the end that takes the count from 1 to 0 releases anything.
void ToolkitEnd();

// Painting and the end of the resources exclude each other, so that a window
// of another thread never paints with objects End is deleting or has deleted.
// A paint runs between ToolkitPaintBegin and ToolkitPaintEnd (shared: windows
// of several threads paint at once), and draws only when Begin answered true
// (the resources exist); ToolkitEnd, and whatever its caller deletes with it
// that paints read, runs between ToolkitRetireBegin and ToolkitRetireEnd.
// Nothing in between sends a message to another thread or takes another lock.
bool ToolkitPaintBegin();
void ToolkitPaintEnd();
void ToolkitRetireBegin();
void ToolkitRetireEnd();

// Plain table reads of the shared objects, i in 0..15. Callers select them
// into device contexts and never delete them.
inline COLORREF ToolkitColour(int i) {
    return g_drawing.palette[i];
}
inline HBRUSH ToolkitBrush(int i) {
    return g_drawing.brushes[i];
}
inline HPEN ToolkitPen(int i) {
    return g_drawing.pens[i];
}
inline HFONT ToolkitFont(int i) {
    return g_drawing.fonts[i];
}
