// Pieces the settings and configuration-box tests share: a host window to hold
// the box, a memory picture to paint into and the variant's registry key.
#pragma once

#include <cstdint>
#include <vector>

#include <gtest/gtest.h>

#include "driver/driver_instance.h"
#include "tests/common/host_stand_ins.h"
#include "tools/host_simulator/config_box_view.h"  // PumpHostMessages

// A plain top-level window of the test process, playing the host's window.
HWND CreateHostWindow(int width, int height);

// A top-down 32-bit DIB selected into its own memory context.
struct Canvas {
    HDC dc;
    HBITMAP bitmap;
    HGDIOBJ oldBitmap;
    uint32_t* pixels;  // 0x00RRGGBB, width * height
    int width, height;
};
bool CanvasCreate(Canvas* canvas, int width, int height);
void CanvasFree(Canvas* canvas);
uint32_t CanvasPixel(const Canvas& canvas, int x, int y);
// The whole picture as 0x00RRGGBB, top-down rows.
std::vector<uint32_t> BitmapPixels(HBITMAP bitmap, int* width, int* height);

// The box's own painting, both layers, into `canvas` (the static layer through
// the window's WM_ERASEBKGND, the fields directly).
void RenderConfigBox(ConfigBoxState* state, HWND box, Canvas* canvas);

// This variant's settings key, "Lorendel\QP240_Remote\{GUID}" under
// HKEY_CURRENT_USER, and the two keys above it when they are left empty.
void DeleteSettingsKey();
// Stores a value under the settings key, creating the key.
void StoreSetting(const char* name, DWORD type, const void* data, DWORD size);
// The stored value's type and bytes; false when the key or the value is missing.
bool ReadSetting(const char* name, DWORD* type, std::vector<uint8_t>* bytes);
int32_t StoredInt(const char* name);  // a 4-byte REG_BINARY, else a test failure

// Lets only the owner read and change the key's permissions: opening still
// works (as the owner), reading and writing values fail. UnlockSettingsKey
// gives everyone full access again.
void LockSettingsKey();
void UnlockSettingsKey();

// Each test starts and ends with a library as process attach leaves it, and
// without the variant's settings key.
class LibraryTest : public ::testing::Test {
  protected:
    void SetUp() override;
    void TearDown() override;
};
