// Draws the two keypad pictures, the bitmap resource of each deliverable, and writes
// them as 24-bit BMP files: rounded light-blue tiles on a dark grey ground,
// numbered row by row, the last two tiles pink and reading STOP ALL PADS and
// STOP ALL PLISTS. The lettering is a built-in pixel font, so the output is
// the same byte for byte wherever it runs.
//
// Usage: keypad_pictures <directory>   (writes keypad_32keys.bmp, keypad_15keys.bmp)
// resources/make-keypad-pictures.sh builds and runs it.
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "base/variant_profile.h"
#include "resources/keypad_layout.h"

struct Colour {
    uint8_t r, g, b;
};

static constexpr Colour kGround = {0x2D, 0x2D, 0x2D};
static constexpr Colour kTile = {0x99, 0xD9, 0xEA};
static constexpr Colour kStopTile = {0xFF, 0xAE, 0xC9};
static constexpr Colour kLettering = {0x2D, 0x2D, 0x2D};

struct Picture {
    int width, height;
    std::vector<Colour> pixels;  // top-down rows
};

// A pixel font: each glyph is `rows` strings of `columns` characters, '#' set.
struct Glyph {
    char letter;
    const char* rows[7];
};

struct PixelFont {
    int columns, rows;
    const Glyph* glyphs;
    int glyphCount;
};

static const Glyph kSmallGlyphs[] = {
    {'0', {"###", "#.#", "#.#", "#.#", "###"}}, {'1', {".#.", "##.", ".#.", ".#.", "###"}},
    {'2', {"###", "..#", "###", "#..", "###"}}, {'3', {"###", "..#", "###", "..#", "###"}},
    {'4', {"#.#", "#.#", "###", "..#", "..#"}}, {'5', {"###", "#..", "###", "..#", "###"}},
    {'6', {"###", "#..", "###", "#.#", "###"}}, {'7', {"###", "..#", "..#", "..#", "..#"}},
    {'8', {"###", "#.#", "###", "#.#", "###"}}, {'9', {"###", "#.#", "###", "..#", "###"}},
    {'A', {".#.", "#.#", "###", "#.#", "#.#"}}, {'D', {"##.", "#.#", "#.#", "#.#", "##."}},
    {'I', {"###", ".#.", ".#.", ".#.", "###"}}, {'L', {"#..", "#..", "#..", "#..", "###"}},
    {'O', {".#.", "#.#", "#.#", "#.#", ".#."}}, {'P', {"##.", "#.#", "##.", "#..", "#.."}},
    {'S', {".##", "#..", ".#.", "..#", "##."}}, {'T', {"###", ".#.", ".#.", ".#.", ".#."}},
};

static const Glyph kLargeGlyphs[] = {
    {'0', {".###.", "#...#", "#...#", "#...#", "#...#", "#...#", ".###."}},
    {'1', {"..#..", ".##..", "..#..", "..#..", "..#..", "..#..", ".###."}},
    {'2', {".###.", "#...#", "....#", "...#.", "..#..", ".#...", "#####"}},
    {'3', {"#####", "...#.", "..#..", "...#.", "....#", "#...#", ".###."}},
    {'4', {"...#.", "..##.", ".#.#.", "#..#.", "#####", "...#.", "...#."}},
    {'5', {"#####", "#....", "####.", "....#", "....#", "#...#", ".###."}},
    {'6', {"..##.", ".#...", "#....", "####.", "#...#", "#...#", ".###."}},
    {'7', {"#####", "....#", "...#.", "..#..", ".#...", ".#...", ".#..."}},
    {'8', {".###.", "#...#", "#...#", ".###.", "#...#", "#...#", ".###."}},
    {'9', {".###.", "#...#", "#...#", ".####", "....#", "...#.", ".##.."}},
    {'A', {".###.", "#...#", "#...#", "#####", "#...#", "#...#", "#...#"}},
    {'D', {"####.", "#...#", "#...#", "#...#", "#...#", "#...#", "####."}},
    {'I', {".###.", "..#..", "..#..", "..#..", "..#..", "..#..", ".###."}},
    {'L', {"#....", "#....", "#....", "#....", "#....", "#....", "#####"}},
    {'O', {".###.", "#...#", "#...#", "#...#", "#...#", "#...#", ".###."}},
    {'P', {"####.", "#...#", "#...#", "####.", "#....", "#....", "#...."}},
    {'S', {".####", "#....", "#....", ".###.", "....#", "....#", "####."}},
    {'T', {"#####", "..#..", "..#..", "..#..", "..#..", "..#..", "..#.."}},
};

static constexpr PixelFont kSmallFont = {3, 5, kSmallGlyphs,
                                         sizeof kSmallGlyphs / sizeof kSmallGlyphs[0]};
static constexpr PixelFont kLargeFont = {5, 7, kLargeGlyphs,
                                         sizeof kLargeGlyphs / sizeof kLargeGlyphs[0]};

// How one keypad is laid out in its picture.
struct KeypadArt {
    const KeypadLayout* layout;
    const char* fileName;
    int pitchX, pitchY;    // tile to tile
    int originX, originY;  // top-left of the first tile
    int tileSize, radius;  // square tiles with rounded corners
    const PixelFont* digits;
    int digitScale;
    const PixelFont* labels;
    int labelScale;
};

static void SetPixel(Picture* picture, int x, int y, Colour colour) {
    if (x >= 0 && y >= 0 && x < picture->width && y < picture->height)
        picture->pixels[static_cast<size_t>(y) * picture->width + x] = colour;
}

// Inside the rounded square when the pixel's centre lies within the corner
// circle of radius r (or away from the corners).
static void FillRoundedTile(Picture* picture, int left, int top, int size, int r, Colour colour) {
    for (int y = 0; y < size; ++y) {
        for (int x = 0; x < size; ++x) {
            const int cx = x < r ? r : (x >= size - r ? size - r - 1 : x);
            const int cy = y < r ? r : (y >= size - r ? size - r - 1 : y);
            const double dx = x - cx, dy = y - cy;
            if (dx * dx + dy * dy <= (r + 0.25) * (r + 0.25))
                SetPixel(picture, left + x, top + y, colour);
        }
    }
}

static const Glyph* FindGlyph(const PixelFont& font, char letter) {
    for (int i = 0; i < font.glyphCount; ++i)
        if (font.glyphs[i].letter == letter)
            return &font.glyphs[i];
    return nullptr;
}

// One pixel of space between letters, in font pixels.
static int TextWidth(const PixelFont& font, int scale, const char* text) {
    const int length = static_cast<int>(std::strlen(text));
    return length == 0 ? 0 : (length * (font.columns + 1) - 1) * scale;
}

static void DrawText(Picture* picture, const PixelFont& font, int scale, const char* text, int left,
                     int top) {
    for (int i = 0; text[i] != '\0'; ++i) {
        const Glyph* glyph = FindGlyph(font, text[i]);
        const int glyphLeft = left + i * (font.columns + 1) * scale;
        for (int row = 0; glyph != nullptr && row < font.rows; ++row)
            for (int column = 0; column < font.columns; ++column)
                if (glyph->rows[row][column] == '#')
                    for (int sy = 0; sy < scale; ++sy)
                        for (int sx = 0; sx < scale; ++sx)
                            SetPixel(picture, glyphLeft + column * scale + sx,
                                     top + row * scale + sy, kLettering);
    }
}

// Lines centred in the tile, two font pixels apart.
static void DrawCentredLines(Picture* picture, const PixelFont& font, int scale,
                             const char* const* lines, int lineCount, int left, int top, int size) {
    const int gap = 2 * scale;
    const int height = lineCount * font.rows * scale + (lineCount - 1) * gap;
    int y = top + (size - height) / 2;
    for (int i = 0; i < lineCount; ++i) {
        const int x = left + (size - TextWidth(font, scale, lines[i])) / 2;
        DrawText(picture, font, scale, lines[i], x, y);
        y += font.rows * scale + gap;
    }
}

static Picture DrawKeypad(const KeypadArt& art) {
    const VariantProfile& profile = *art.layout->profile;
    const int columns = art.layout->columns;
    Picture picture = {profile.pictureWidth, profile.pictureHeight, {}};
    picture.pixels.assign(static_cast<size_t>(picture.width) * picture.height, kGround);

    for (int key = 0; key < profile.keyCount; ++key) {
        const int left = art.originX + (key % columns) * art.pitchX;
        const int top = art.originY + (key / columns) * art.pitchY;
        const bool stopKey = key == profile.stopAllPadsKey || key == profile.stopAllPlistsKey;
        FillRoundedTile(&picture, left, top, art.tileSize, art.radius, stopKey ? kStopTile : kTile);
        if (stopKey) {
            const char* lines[3] = {"STOP", "ALL",
                                    key == profile.stopAllPadsKey ? "PADS" : "PLISTS"};
            DrawCentredLines(&picture, *art.labels, art.labelScale, lines, 3, left, top,
                             art.tileSize);
        } else {
            char number[12];
            std::snprintf(number, sizeof number, "%d", key + 1);
            const char* lines[1] = {number};
            DrawCentredLines(&picture, *art.digits, art.digitScale, lines, 1, left, top,
                             art.tileSize);
        }
    }
    return picture;
}

static void PutLittleEndian(std::vector<uint8_t>* out, uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i)
        out->push_back(static_cast<uint8_t>(value >> (8 * i)));
}

// A BITMAPFILEHEADER, a BITMAPINFOHEADER and bottom-up BGR rows padded to 4 bytes.
static bool WriteBmp(const std::string& path, const Picture& picture) {
    const uint32_t rowSize = (static_cast<uint32_t>(picture.width) * 3 + 3) & ~3u;
    const uint32_t imageSize = rowSize * static_cast<uint32_t>(picture.height);
    std::vector<uint8_t> file;
    file.push_back('B');
    file.push_back('M');
    PutLittleEndian(&file, 14 + 40 + imageSize, 4);
    PutLittleEndian(&file, 0, 4);
    PutLittleEndian(&file, 14 + 40, 4);
    PutLittleEndian(&file, 40, 4);
    PutLittleEndian(&file, static_cast<uint32_t>(picture.width), 4);
    PutLittleEndian(&file, static_cast<uint32_t>(picture.height), 4);
    PutLittleEndian(&file, 1, 2);   // planes
    PutLittleEndian(&file, 24, 2);  // bits per pixel
    PutLittleEndian(&file, 0, 4);   // BI_RGB
    PutLittleEndian(&file, imageSize, 4);
    PutLittleEndian(&file, 2835, 4);  // 72 dots per inch, both ways
    PutLittleEndian(&file, 2835, 4);
    PutLittleEndian(&file, 0, 4);
    PutLittleEndian(&file, 0, 4);
    for (int y = picture.height - 1; y >= 0; --y) {
        for (int x = 0; x < picture.width; ++x) {
            const Colour c = picture.pixels[static_cast<size_t>(y) * picture.width + x];
            file.push_back(c.b);
            file.push_back(c.g);
            file.push_back(c.r);
        }
        for (uint32_t pad = static_cast<uint32_t>(picture.width) * 3; pad < rowSize; ++pad)
            file.push_back(0);
    }
    FILE* out = std::fopen(path.c_str(), "wb");
    if (out == nullptr)
        return false;
    const bool written = std::fwrite(file.data(), 1, file.size(), out) == file.size();
    return std::fclose(out) == 0 && written;
}

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: keypad_pictures <directory>\n");
        return 2;
    }
    // 240 x 120: eight columns of 30 and four rows of 30, tiles of 26.
    // 220 x 131: five columns of 44 and three rows of 43, tiles of 38.
    const KeypadArt arts[] = {
        {&kKeypadLayouts[0], "keypad_32keys.bmp", 30, 30, 2, 2, 26, 4, &kSmallFont, 2, &kSmallFont,
         1},
        {&kKeypadLayouts[1], "keypad_15keys.bmp", 44, 43, 3, 3, 38, 6, &kLargeFont, 2, &kLargeFont,
         1},
    };
    for (const KeypadArt& art : arts) {
        const std::string path = std::string(argv[1]) + "/" + art.fileName;
        if (!WriteBmp(path, DrawKeypad(art))) {
            std::fprintf(stderr, "keypad_pictures: cannot write %s\n", path.c_str());
            return 1;
        }
        std::printf("wrote %s\n", path.c_str());
    }
    return 0;
}
