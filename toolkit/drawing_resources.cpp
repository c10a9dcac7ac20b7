#include "toolkit/drawing_resources.h"

#include <cstring>

#include "toolkit/list_view.h"

DrawingResources g_drawing = {};

// Shared by painters, exclusive for the end of the resources.
static SRWLOCK g_paintGuard = SRWLOCK_INIT;

bool ToolkitPaintBegin() {
    AcquireSRWLockShared(&g_paintGuard);
    // Under the guard: the count changes only while the guard is held
    // exclusive, or before any window of the toolkit exists.
    return g_drawing.referenceCount > 0;
}

void ToolkitPaintEnd() {
    ReleaseSRWLockShared(&g_paintGuard);
}

void ToolkitRetireBegin() {
    AcquireSRWLockExclusive(&g_paintGuard);
}

void ToolkitRetireEnd() {
    ReleaseSRWLockExclusive(&g_paintGuard);
}

// 0x00BBGGRR: black, red, bright red-orange, yellow, dark blue, blue, light
// blue-violet, dark teal, green, four greys from dark to very light, white.
static constexpr COLORREF kPalette[kPaletteSize] = {
    0x00000000, 0x001428CC, 0x001E3CFC, 0x0036EBF0, 0x009D1C06, 0x00E25F0F, 0x00E4938C, 0x007A6B03,
    0x0031A724, 0x00404040, 0x00545454, 0x006E6E6E, 0x00828282, 0x00B4B4B4, 0x00E6E6E6, 0x00FFFFFF};

static bool RegisterListViewClass(HINSTANCE module) {
    WNDCLASSA listViewClass = {};
    listViewClass.style = CS_VREDRAW | CS_HREDRAW;
    listViewClass.lpfnWndProc = ListViewWindowProc;
    listViewClass.cbClsExtra = 0;
    listViewClass.cbWndExtra = sizeof(void*);  // slot 0: the control's state
    listViewClass.hInstance = module;
    listViewClass.hCursor = LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW));
    listViewClass.lpszClassName = MLV_CLASS_NAME;
    return RegisterClassA(&listViewClass) != 0;
}

int ToolkitInit(HINSTANCE module) {
    if (++g_drawing.referenceCount != 1)
        return 1;

    g_drawing.listViewModule = module;
    if (!RegisterListViewClass(module))
        return 0;

    std::memcpy(g_drawing.palette, kPalette, sizeof kPalette);
    // A creation that fails leaves its entry empty; painting with an empty
    // entry is ignored by the graphics system.
    for (int i = 0; i < kPaletteSize; ++i) {
        LOGBRUSH solid = {BS_SOLID, g_drawing.palette[i], 0};
        g_drawing.brushes[i] = CreateBrushIndirect(&solid);
    }
    for (int i = 0; i < kPaletteSize; ++i)
        g_drawing.pens[i] = CreatePen(PS_SOLID, 0, g_drawing.palette[i]);
    g_drawing.dashDotPen = CreatePen(PS_DASHDOT, 0, g_drawing.palette[0]);
    for (int i = 0; i < kFontCount; ++i) {
        LOGFONTA description;
        std::memset(&description, 0, sizeof description);
        description.lfHeight = kFontHeights[i];
        description.lfWeight = kFontWeights[i];
        std::memcpy(description.lfFaceName, kFontFace, sizeof kFontFace);
        g_drawing.fonts[i] = CreateFontIndirectA(&description);
    }
    return 1;
}

template <typename Handle>
static void DeleteShared(Handle* object) {
    if (*object != nullptr) {
        DeleteObject(*object);
        *object = nullptr;
    }
}

void ToolkitEnd() {
    if (--g_drawing.referenceCount != 0)
        return;

    // The palette keeps its colours; the start that brings the count back to
    // 1 fills everything again.
    for (int i = 0; i < kPaletteSize; ++i) {
        DeleteShared(&g_drawing.brushes[i]);
        DeleteShared(&g_drawing.pens[i]);
    }
    DeleteShared(&g_drawing.dashDotPen);
    for (int i = 0; i < kFontCount; ++i)
        DeleteShared(&g_drawing.fonts[i]);
    UnregisterClassA(MLV_CLASS_NAME, g_drawing.listViewModule);
}
