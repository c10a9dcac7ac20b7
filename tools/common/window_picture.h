// What a window shows, as a picture the tools can save or compare: the
// simulator's configuration-box view, the list-view sample and the tests.
#pragma once

#include <cstdint>
#include <vector>
#include <windows.h>

// What a window's client area shows now, as top-down RGB rows.
struct WindowPicture {
    int width, height;
    std::vector<uint8_t> rgb;  // width * height * 3 bytes
};
bool CaptureWindow(HWND window, WindowPicture* picture);

// The description of a 32-bit top-down DIB (rows from the top, pixels as
// 0x00RRGGBB), for CreateDIBSection and GetDIBits alike.
BITMAPINFO TopDownDibInfo(int width, int height);

// A 32-bit top-down DIB section of the given size (rows from the top, pixels
// as 0x00RRGGBB); `bits` receives its pixels. Null when it cannot be made.
HBITMAP CreateTopDownDib(int width, int height, void** bits);
