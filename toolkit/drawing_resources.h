// The toolkit's library-wide drawing objects: 16 colours with a solid brush and
// pen each, a dash-dot pen and 16 fonts, addressed by index. Windows select
// them while painting and never create or delete their own.
#pragma once

#include <cstdint>

#include "driver/platform_types.h"

inline constexpr int kPaletteSize = 16;
inline constexpr int kFontSlots = 32;  // 0..15 used, 16..31 stay empty

struct DrawingResources {
    int32_t referenceCount;  // resources exist while it is 1 or more
    COLORREF palette[kPaletteSize];
    HBRUSH brushes[kPaletteSize];  // brush i in colour i
    HPEN pens[kPaletteSize];       // solid pen i, width 0, in colour i
    HPEN dashDotPen;               // width 0, colour 0
    HFONT fonts[kFontSlots];
    HINSTANCE listViewModule;  // module the list-view class was registered with
};

extern DrawingResources g_drawing;

// Reference counted: 1 when ready (also when already started), 0 when the
// list-view class could not be registered.
int ToolkitInit(HINSTANCE module);
void ToolkitEnd();
