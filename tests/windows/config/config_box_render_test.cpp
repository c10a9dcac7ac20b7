// The box's painting checked pixel by pixel in a memory picture: the black
// ground, the keypad picture, the field outlines, where text is and is not,
// and a device context handed back as it came.
#include <algorithm>
#include <cstring>

#include <gtest/gtest.h>

#include "config/config_box.h"
#include "config/config_box_layout.h"
#include "driver/library_state.h"
#include "include/qp240_remote.h"
#include "tests/windows/config/config_test_support.h"
#include "toolkit/drawing_resources.h"

namespace {

constexpr int kWidth = 600;
constexpr int kHeight = 300;
constexpr uint32_t kBlack = 0x000000;

uint32_t Rgb(COLORREF colour) {
    return static_cast<uint32_t>(GetRValue(colour)) << 16 | GetGValue(colour) << 8 |
           GetBValue(colour);
}

// What a rectangle of the picture holds.
struct AreaInk {
    int inked = 0;          // pixels other than black
    int exact = 0;          // pixels of exactly the expected colour
    int brighter = 0;       // pixels with a channel above the expected colour's
    int left = INT32_MAX;   // bounding box of the inked pixels
    int right = INT32_MIN;  // exclusive
};

AreaInk InkIn(const Canvas& canvas, int left, int top, int right, int bottom, uint32_t colour) {
    AreaInk ink;
    for (int y = top; y < bottom; ++y) {
        for (int x = left; x < right; ++x) {
            const uint32_t pixel = CanvasPixel(canvas, x, y);
            if (pixel == kBlack)
                continue;
            ++ink.inked;
            ink.exact += pixel == colour;
            for (int shift = 0; shift <= 16; shift += 8)
                if (((pixel >> shift) & 0xFF) > ((colour >> shift) & 0xFF))
                    ++ink.brighter;
            ink.left = std::min(ink.left, x);
            ink.right = std::max(ink.right, x + 1);
        }
    }
    return ink;
}

// Text in `colour` drawn over black: some pixels of that colour, none
// brighter (smoothed edges blend towards black).
void ExpectTextIn(const Canvas& canvas, int left, int top, int right, int bottom, COLORREF colour,
                  const char* what) {
    const AreaInk ink = InkIn(canvas, left, top, right, bottom, Rgb(colour));
    EXPECT_GT(ink.inked, 30) << what;
    EXPECT_GT(ink.exact, 0) << what;
    EXPECT_EQ(ink.brighter, 0) << what;
}

void ExpectBlack(const Canvas& canvas, int left, int top, int right, int bottom, const char* what) {
    EXPECT_EQ(InkIn(canvas, left, top, right, bottom, kBlack).inked, 0) << what;
}

class ConfigBoxRender : public LibraryTest {
  protected:
    void SetUp() override {
        LibraryTest::SetUp();
        ASSERT_EQ(QP240REMOTE_Init(GetModuleHandleA(nullptr)), 0);
        host = CreateHostWindow(800, 500);
        handle = QP240REMOTE_Create(IgnoringCallback, 0);
        ASSERT_NE(handle, nullptr);
        ASSERT_EQ(QP240REMOTE_OpenConfigBox(handle, host, 0, 0, kWidth, kHeight), 0);
        box = Box()->window;
        ASSERT_NE(box, nullptr);
        ASSERT_TRUE(CanvasCreate(&canvas, kWidth, kHeight));
    }
    void TearDown() override {
        CanvasFree(&canvas);
        if (handle != nullptr)
            QP240REMOTE_Destroy(handle);
        DestroyWindow(host);
        PumpHostMessages();
        LibraryTest::TearDown();
    }
    ConfigBoxState* Box() { return &static_cast<DriverInstance*>(handle)->configBox; }
    void SetContext(int32_t keyMode, int32_t channel) {
        const QP240REMOTE_Context context = {keyMode, channel, 0};
        QP240REMOTE_SetContext(handle, &context, sizeof context);
        PumpHostMessages();
    }

    HWND host = nullptr;
    void* handle = nullptr;
    HWND box = nullptr;
    Canvas canvas = {};
};

TEST_F(ConfigBoxRender, TheStaticLayerIsTheKeypadPictureAndThreeCentredLinesOnBlack) {
    EXPECT_EQ(SendMessageA(box, WM_ERASEBKGND, reinterpret_cast<WPARAM>(canvas.dc), 0), 1);
    GdiFlush();

    // The keypad picture at (10, 10), pixel for pixel.
    int pictureWidth = 0, pictureHeight = 0;
    const std::vector<uint32_t> picture =
        BitmapPixels(g_keypadPicture, &pictureWidth, &pictureHeight);
    ASSERT_EQ(pictureWidth, kProfile.pictureWidth);
    ASSERT_EQ(pictureHeight, kProfile.pictureHeight);
    int differing = 0;
    for (int y = 0; y < pictureHeight; ++y)
        for (int x = 0; x < pictureWidth; ++x)
            differing += CanvasPixel(canvas, 10 + x, 10 + y) != picture[y * pictureWidth + x];
    EXPECT_EQ(differing, 0);

    // Black everywhere the picture and the text column leave free.
    const int pictureBottom = 10 + pictureHeight;
    ExpectBlack(canvas, 0, 0, kWidth, 10, "above everything");
    ExpectBlack(canvas, 0, 0, 10, kHeight, "left margin");
    ExpectBlack(canvas, 0, pictureBottom, 250, kHeight, "below the picture");
    ExpectBlack(canvas, 590, 0, kWidth, kHeight, "right margin");
    ExpectBlack(canvas, 250, 90, kWidth, kHeight, "below the version line");

    // Title (colour 13, light grey), model (14, very light grey) and version
    // (13), each centred on the text column (200 to 590) and in its own band.
    const COLORREF light = RGB(180, 180, 180);
    const COLORREF lighter = RGB(230, 230, 230);
    // (The picture reaches into the column up to x = 250.)
    ExpectTextIn(canvas, 250, 10, 590, 28, light, "title");
    ExpectTextIn(canvas, 250, 28, 590, 66, lighter, "model");
    ExpectTextIn(canvas, 250, 66, 590, 90, light, "version");
    for (const int band : {10, 28, 66}) {
        const int bottom = band == 10 ? 28 : band == 28 ? 66 : 90;
        const AreaInk ink = InkIn(canvas, 250, band, 590, bottom, 0);
        EXPECT_NEAR((ink.left + ink.right) / 2.0, 395.0, 2.0) << "line at " << band;
    }
    // The model is the widest line, the version the narrowest.
    const AreaInk title = InkIn(canvas, 250, 10, 590, 28, 0);
    const AreaInk model = InkIn(canvas, 250, 28, 590, 66, 0);
    const AreaInk version = InkIn(canvas, 250, 66, 590, 90, 0);
    EXPECT_GT(model.right - model.left, title.right - title.left);
    EXPECT_GT(title.right - title.left, version.right - version.left);
}

// End deletes the objects painting selects and the picture; a box still open
// (its instance not yet destroyed) must then draw nothing with them, on an
// erase outside BeginPaint as on a paint.
TEST_F(ConfigBoxRender, ABoxLeftOpenAfterEndPaintsNothing) {
    ASSERT_EQ(QP240REMOTE_End(), 0);
    const COLORREF white = RGB(255, 255, 255);
    HBRUSH fill = CreateSolidBrush(white);
    const RECT all = {0, 0, kWidth, kHeight};
    FillRect(canvas.dc, &all, fill);
    DeleteObject(fill);
    EXPECT_EQ(SendMessageA(box, WM_ERASEBKGND, reinterpret_cast<WPARAM>(canvas.dc), 0), 1);
    RedrawWindow(box, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ERASENOW | RDW_UPDATENOW);
    GdiFlush();
    EXPECT_EQ(InkIn(canvas, 0, 0, kWidth, kHeight, Rgb(white)).exact, kWidth * kHeight);
}

TEST_F(ConfigBoxRender, FieldsAreRoundedOutlinesInColour14WithLabelAndValueInside) {
    RenderConfigBox(Box(), box, &canvas);
    // Colour 14 (very light grey) for outline and value, 12 (mid grey) for
    // the label, as the palette documents them.
    const uint32_t outline = Rgb(RGB(230, 230, 230));
    const COLORREF label = RGB(130, 130, 130);
    const COLORREF value = RGB(230, 230, 230);

    for (const int top : {150, 230}) {
        const int bottom = top + 54;
        // The outline runs along all four sides (the right and bottom edges
        // are exclusive), and the corners are rounded off.
        EXPECT_EQ(CanvasPixel(canvas, 250, top + 27), outline) << top;
        EXPECT_EQ(CanvasPixel(canvas, 579, top + 27), outline) << top;
        EXPECT_EQ(CanvasPixel(canvas, 415, top), outline) << top;
        EXPECT_EQ(CanvasPixel(canvas, 415, bottom - 1), outline) << top;
        EXPECT_EQ(CanvasPixel(canvas, 250, top), kBlack) << top;
        EXPECT_EQ(CanvasPixel(canvas, 579, bottom - 1), kBlack) << top;
        // Nothing drawn beyond the outline.
        ExpectBlack(canvas, 580, top - 5, kWidth, bottom + 5, "right of the field");
        ExpectBlack(canvas, 200, top, 250, bottom, "left of the field");
        // Inside: black up to the label's left edge (256), then the label at
        // the top and the value 23 lower.
        ExpectBlack(canvas, 251, top + 4, 256, bottom - 4, "inside, left of the text");
        ExpectTextIn(canvas, 256, top + 6, 578, top + 26, label, "label");
        ExpectTextIn(canvas, 256, top + 29, 578, bottom - 1, value, "value");
    }
    ExpectBlack(canvas, 200, 204, kWidth, 230, "between the fields");
    ExpectBlack(canvas, 200, 284, kWidth, kHeight, "below the fields");
}

TEST_F(ConfigBoxRender, EveryPaintHandsTheDeviceContextBackAsItCame) {
    HPEN pen = CreatePen(PS_DOT, 1, RGB(1, 2, 3));
    HBRUSH brush = CreateSolidBrush(RGB(4, 5, 6));
    HFONT font = CreateFontA(11, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, "Courier New");
    SelectObject(canvas.dc, pen);
    SelectObject(canvas.dc, brush);
    SelectObject(canvas.dc, font);
    SetBkMode(canvas.dc, OPAQUE);
    SetTextColor(canvas.dc, RGB(7, 8, 9));
    auto expectUnchanged = [&](const char* after) {
        EXPECT_EQ(GetCurrentObject(canvas.dc, OBJ_PEN), pen) << after;
        EXPECT_EQ(GetCurrentObject(canvas.dc, OBJ_BRUSH), brush) << after;
        EXPECT_EQ(GetCurrentObject(canvas.dc, OBJ_FONT), font) << after;
        EXPECT_EQ(GetCurrentObject(canvas.dc, OBJ_BITMAP), canvas.bitmap) << after;
        EXPECT_EQ(GetBkMode(canvas.dc), OPAQUE) << after;
        EXPECT_EQ(GetTextColor(canvas.dc), RGB(7, 8, 9)) << after;
    };

    PaintConfigBackground(box, canvas.dc);
    expectUnchanged("the static layer");
    PaintConfigFields(Box(), box, canvas.dc);
    expectUnchanged("the fields");
    SetContext(1, 200);
    PaintConfigFields(Box(), box, canvas.dc);
    expectUnchanged("the fields in MIDI mode");

    // With the first objects each layer selects missing (their creation
    // failed), the later ones must not stay behind in the host's context.
    const DrawingResources kept = g_drawing;
    g_drawing.brushes[0] = nullptr;
    g_drawing.pens[0] = nullptr;
    g_drawing.fonts[8] = nullptr;
    g_drawing.fonts[9] = nullptr;
    PaintConfigBackground(box, canvas.dc);
    expectUnchanged("the static layer, objects missing");
    PaintConfigFields(Box(), box, canvas.dc);
    expectUnchanged("the fields, objects missing");
    g_drawing = kept;

    SelectObject(canvas.dc, GetStockObject(BLACK_PEN));
    SelectObject(canvas.dc, GetStockObject(WHITE_BRUSH));
    SelectObject(canvas.dc, GetStockObject(SYSTEM_FONT));
    DeleteObject(font);
    DeleteObject(brush);
    DeleteObject(pen);
}

TEST_F(ConfigBoxRender, AFieldRepaintHidesTheOldTextCompletely) {
    SetContext(1, 15);
    RenderConfigBox(Box(), box, &canvas);
    SetContext(0, 0);
    PaintConfigFields(Box(), box, canvas.dc);
    GdiFlush();

    Canvas fresh;
    ASSERT_TRUE(CanvasCreate(&fresh, kWidth, kHeight));
    RenderConfigBox(Box(), box, &fresh);
    int differing = 0;
    for (int y = 0; y < kHeight; ++y)
        for (int x = 0; x < kWidth; ++x)
            differing += CanvasPixel(canvas, x, y) != CanvasPixel(fresh, x, y);
    EXPECT_EQ(differing, 0);
    CanvasFree(&fresh);
}

TEST_F(ConfigBoxRender, AnyKeyModeButZeroShowsTheMidiCaptionAndAnyChannelFits) {
    SetContext(1, 0);
    RenderConfigBox(Box(), box, &canvas);
    Canvas other;
    ASSERT_TRUE(CanvasCreate(&other, kWidth, kHeight));
    SetContext(7, 0);
    RenderConfigBox(Box(), box, &other);
    int differing = 0;
    for (int y = 150; y < 204; ++y)
        for (int x = 250; x < 580; ++x)
            differing += CanvasPixel(canvas, x, y) != CanvasPixel(other, x, y);
    EXPECT_EQ(differing, 0) << "key mode 7 reads as key mode 1";

    // The longest channel text there is, drawn whole on its line.
    SetContext(0, INT32_MAX);
    RenderConfigBox(Box(), box, &other);
    const AreaInk longest = InkIn(other, 256, 259, 578, 283, 0);
    SetContext(0, 0);
    RenderConfigBox(Box(), box, &canvas);
    const AreaInk shortest = InkIn(canvas, 256, 259, 578, 283, 0);
    EXPECT_GT(longest.right - longest.left, 2 * (shortest.right - shortest.left));
    CanvasFree(&other);
}

TEST_F(ConfigBoxRender, TheKeypadPictureIsTheLayoutOfThisKeypad) {
    int width = 0, height = 0;
    const std::vector<uint32_t> pixels = BitmapPixels(g_keypadPicture, &width, &height);
    // Stored with 24 bits per pixel (the loaded picture takes the screen's depth).
    HBITMAP stored = static_cast<HBITMAP>(
        LoadImageA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(QP240REMOTE_KEYPAD_PICTURE_ID),
                   IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION));
    ASSERT_NE(stored, nullptr);
    BITMAP info = {};
    GetObjectA(stored, sizeof info, &info);
    EXPECT_EQ(info.bmBitsPixel, 24);
    DeleteObject(stored);
    ASSERT_EQ(width, kProfile.pictureWidth);
    ASSERT_EQ(height, kProfile.pictureHeight);

    const uint32_t ground = 0x2D2D2D, tile = 0x99D9EA, stop = 0xFFAEC9;
    EXPECT_EQ(pixels[0], ground);
    EXPECT_EQ(pixels.back(), ground);
    // Light blue tiles fill most of it; the pink ones sit in the last row's
    // last two columns.
    const int columns = kProfile.keyCount == 32 ? 8 : 5;
    const int rows = kProfile.keyCount == 32 ? 4 : 3;
    int tilePixels = 0, stopPixels = 0, other = 0;
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const uint32_t pixel = pixels[y * width + x];
            if (pixel == tile) {
                ++tilePixels;
            } else if (pixel == stop) {
                ++stopPixels;
                EXPECT_GE(x, width * (columns - 2) / columns);
                EXPECT_GE(y, height * (rows - 1) / rows);
            } else if (pixel != ground) {
                ++other;
            }
        }
    }
    EXPECT_GT(tilePixels, width * height / 3);
    EXPECT_GT(stopPixels, 2 * 20 * 20);
    EXPECT_EQ(other, 0) << "only the three colours";
}

}  // namespace
