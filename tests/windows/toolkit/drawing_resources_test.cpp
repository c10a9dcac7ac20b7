// The toolkit's shared drawing objects and the list-view class: what one start
// creates, that only the last end releases them, and that a new start after a
// full cycle makes everything again.
#include "toolkit/drawing_resources.h"

#include <cstring>
#include <vector>

#include <gtest/gtest.h>

#include "tests/windows/support/driver_test_support.h"
#include "toolkit/list_view.h"

namespace {

HINSTANCE Module() {
    return GetModuleHandleA(nullptr);
}

// Every object the toolkit holds now, in table order.
std::vector<HGDIOBJ> SharedObjects() {
    std::vector<HGDIOBJ> objects;
    for (int i = 0; i < kPaletteSize; ++i) {
        objects.push_back(g_drawing.brushes[i]);
        objects.push_back(g_drawing.pens[i]);
    }
    objects.push_back(g_drawing.dashDotPen);
    for (int i = 0; i < kFontCount; ++i)
        if (g_drawing.fonts[i] != nullptr)
            objects.push_back(g_drawing.fonts[i]);
    return objects;
}

void ExpectAllGone(const std::vector<HGDIOBJ>& objects) {
    for (HGDIOBJ object : objects)
        EXPECT_EQ(GetObjectType(object), 0u) << object << " is still alive";
}

bool ListViewClassRegistered() {
    WNDCLASSA info;
    return GetClassInfoA(Module(), MLV_CLASS_NAME, &info) != 0;
}

class DrawingResourcesTest : public ::testing::Test {
  protected:
    void SetUp() override { ResetLibraryState(); }
    void TearDown() override { ResetLibraryState(); }
};

// The palette as the toolkit documents it (0x00BBGGRR), brush i and pen i in
// colour i; and the fonts, Arial of these heights and weights.
constexpr COLORREF kDocumentedPalette[16] = {
    0x00000000, 0x001428CC, 0x001E3CFC, 0x0036EBF0, 0x009D1C06, 0x00E25F0F, 0x00E4938C, 0x007A6B03,
    0x0031A724, 0x00404040, 0x00545454, 0x006E6E6E, 0x00828282, 0x00B4B4B4, 0x00E6E6E6, 0x00FFFFFF};
constexpr struct {
    LONG height, weight;
} kDocumentedFonts[16] = {{10, 400}, {10, 700}, {12, 400}, {12, 700}, {14, 400}, {14, 700},
                          {16, 400}, {16, 700}, {18, 400}, {18, 700}, {20, 400}, {20, 700},
                          {26, 800}, {26, 800}, {38, 400}, {38, 800}};

TEST_F(DrawingResourcesTest, OneStartMakesSixteenOfEachAsDocumented) {
    ASSERT_EQ(ToolkitInit(Module()), 1);
    EXPECT_EQ(g_drawing.referenceCount, 1);

    for (int i = 0; i < kPaletteSize; ++i) {
        EXPECT_EQ(g_drawing.palette[i], kDocumentedPalette[i]) << i;
        LOGBRUSH brush = {};
        ASSERT_EQ(GetObjectType(g_drawing.brushes[i]), static_cast<DWORD>(OBJ_BRUSH)) << i;
        ASSERT_EQ(GetObjectA(g_drawing.brushes[i], sizeof brush, &brush),
                  static_cast<int>(sizeof brush));
        EXPECT_EQ(brush.lbStyle, static_cast<UINT>(BS_SOLID)) << i;
        EXPECT_EQ(brush.lbColor, kDocumentedPalette[i]) << i;

        LOGPEN pen = {};
        ASSERT_EQ(GetObjectType(g_drawing.pens[i]), static_cast<DWORD>(OBJ_PEN)) << i;
        ASSERT_EQ(GetObjectA(g_drawing.pens[i], sizeof pen, &pen), static_cast<int>(sizeof pen));
        EXPECT_EQ(pen.lopnStyle, static_cast<UINT>(PS_SOLID)) << i;
        EXPECT_EQ(pen.lopnWidth.x, 0) << i;
        EXPECT_EQ(pen.lopnColor, kDocumentedPalette[i]) << i;
    }
    // RGB() agrees with the table's byte order: red is the low byte.
    EXPECT_EQ(kDocumentedPalette[1], RGB(204, 40, 20));
    LOGPEN dashDot = {};
    ASSERT_EQ(GetObjectA(g_drawing.dashDotPen, sizeof dashDot, &dashDot),
              static_cast<int>(sizeof dashDot));
    EXPECT_EQ(dashDot.lopnStyle, static_cast<UINT>(PS_DASHDOT));
    EXPECT_EQ(dashDot.lopnWidth.x, 0);
    EXPECT_EQ(dashDot.lopnColor, RGB(0, 0, 0));

    // Zero in every field of the description but height, weight and face.
    for (int i = 0; i < kFontCount; ++i) {
        ASSERT_EQ(GetObjectType(g_drawing.fonts[i]), static_cast<DWORD>(OBJ_FONT)) << i;
        LOGFONTA font;
        ASSERT_EQ(GetObjectA(g_drawing.fonts[i], sizeof font, &font),
                  static_cast<int>(sizeof font));
        LOGFONTA expected;
        std::memset(&expected, 0, sizeof expected);
        expected.lfHeight = kDocumentedFonts[i].height;
        expected.lfWeight = kDocumentedFonts[i].weight;
        EXPECT_EQ(std::memcmp(&font, &expected, offsetof(LOGFONTA, lfFaceName)), 0) << i;
        EXPECT_STREQ(font.lfFaceName, "Arial") << i;
    }

    ToolkitEnd();
}

TEST_F(DrawingResourcesTest, Fonts12And13RenderAlike) {
    ASSERT_EQ(ToolkitInit(Module()), 1);
    std::vector<uint32_t> rendered[2];
    const int fonts[2] = {12, 13};
    for (int k = 0; k < 2; ++k) {
        BITMAPINFO info = {};
        info.bmiHeader = {sizeof info.bmiHeader, 200, -40, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
        void* bits = nullptr;
        HBITMAP bitmap = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
        HDC dc = CreateCompatibleDC(nullptr);
        HGDIOBJ oldBitmap = SelectObject(dc, bitmap);
        HGDIOBJ oldFont = SelectObject(dc, g_drawing.fonts[fonts[k]]);
        RECT area = {0, 0, 200, 40};
        FillRect(dc, &area, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
        DrawTextA(dc, "Pad 26", -1, &area, DT_SINGLELINE);
        GdiFlush();
        const uint32_t* pixels = static_cast<const uint32_t*>(bits);
        rendered[k].assign(pixels, pixels + 200 * 40);
        SelectObject(dc, oldFont);
        SelectObject(dc, oldBitmap);
        DeleteDC(dc);
        DeleteObject(bitmap);
    }
    EXPECT_EQ(rendered[0], rendered[1]);
    size_t inked = 0;
    for (uint32_t pixel : rendered[0])
        inked += (pixel & 0xFFFFFF) != 0xFFFFFF;
    EXPECT_GT(inked, 100u) << "the text was drawn";
    ToolkitEnd();
}

TEST_F(DrawingResourcesTest, OnlyTheLastEndReleasesAndAFullCycleStartsAfresh) {
    ASSERT_EQ(ToolkitInit(Module()), 1);
    const std::vector<HGDIOBJ> first = SharedObjects();
    ASSERT_EQ(first.size(), 16u + 16u + 1u + 16u);
    EXPECT_TRUE(ListViewClassRegistered());

    // A second start only counts.
    ASSERT_EQ(ToolkitInit(Module()), 1);
    EXPECT_EQ(g_drawing.referenceCount, 2);
    EXPECT_EQ(SharedObjects(), first);

    ToolkitEnd();
    EXPECT_EQ(g_drawing.referenceCount, 1);
    EXPECT_EQ(SharedObjects(), first);
    for (HGDIOBJ object : first)
        EXPECT_NE(GetObjectType(object), 0u);
    EXPECT_TRUE(ListViewClassRegistered());

    ToolkitEnd();
    EXPECT_EQ(g_drawing.referenceCount, 0);
    ExpectAllGone(first);
    for (int i = 0; i < kPaletteSize; ++i) {
        EXPECT_EQ(g_drawing.brushes[i], nullptr);
        EXPECT_EQ(g_drawing.pens[i], nullptr);
    }
    EXPECT_EQ(g_drawing.dashDotPen, nullptr);
    for (int i = 0; i < kFontCount; ++i)
        EXPECT_EQ(g_drawing.fonts[i], nullptr);
    EXPECT_FALSE(ListViewClassRegistered());
    // The palette keeps its colours.
    EXPECT_EQ(g_drawing.palette[14], RGB(230, 230, 230));

    ASSERT_EQ(ToolkitInit(Module()), 1);
    EXPECT_EQ(g_drawing.referenceCount, 1);
    const std::vector<HGDIOBJ> second = SharedObjects();
    ASSERT_EQ(second.size(), first.size());
    for (HGDIOBJ object : second)
        EXPECT_NE(GetObjectType(object), 0u);
    EXPECT_TRUE(ListViewClassRegistered());
    ToolkitEnd();
    ExpectAllGone(second);
}

TEST_F(DrawingResourcesTest, TheListViewClassHasItsExactFields) {
    ASSERT_EQ(ToolkitInit(Module()), 1);
    WNDCLASSA info = {};
    ASSERT_TRUE(GetClassInfoA(Module(), MLV_CLASS_NAME, &info));
    EXPECT_EQ(info.style, static_cast<UINT>(CS_VREDRAW | CS_HREDRAW));
    EXPECT_EQ(info.lpfnWndProc, ListViewWindowProc);
    EXPECT_EQ(info.cbClsExtra, 0);
    EXPECT_EQ(info.cbWndExtra, 8);
    EXPECT_EQ(info.hInstance, Module());
    EXPECT_EQ(info.hIcon, nullptr);
    EXPECT_EQ(info.hCursor, LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW)));
    EXPECT_EQ(info.hbrBackground, nullptr);
    EXPECT_EQ(info.lpszMenuName, nullptr);
    EXPECT_EQ(g_drawing.listViewModule, Module());
    ToolkitEnd();
}

TEST_F(DrawingResourcesTest, AFailedRegistrationCreatesNothingAndStillCounts) {
    WNDCLASSA taken = {};
    taken.lpfnWndProc = DefWindowProcA;
    taken.hInstance = Module();
    taken.lpszClassName = MLV_CLASS_NAME;
    ASSERT_NE(RegisterClassA(&taken), 0);

    EXPECT_EQ(ToolkitInit(Module()), 0);
    EXPECT_EQ(g_drawing.referenceCount, 1);
    EXPECT_EQ(g_drawing.brushes[0], nullptr);
    EXPECT_EQ(g_drawing.fonts[9], nullptr);
    ToolkitEnd();  // the count the failed start raised
    EXPECT_EQ(g_drawing.referenceCount, 0);
    UnregisterClassA(MLV_CLASS_NAME, Module());
}

TEST_F(DrawingResourcesTest, AnEndWithoutAStartIsNotCorrected) {
    ToolkitEnd();
    EXPECT_EQ(g_drawing.referenceCount, -1);
    // The next start only brings the count back to 0 and creates nothing.
    EXPECT_EQ(ToolkitInit(Module()), 1);
    EXPECT_EQ(g_drawing.referenceCount, 0);
    EXPECT_EQ(g_drawing.pens[14], nullptr);
    EXPECT_FALSE(ListViewClassRegistered());
}

}  // namespace
