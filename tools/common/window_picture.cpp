#include "tools/common/window_picture.h"

BITMAPINFO TopDownDibInfo(int width, int height) {
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;  // top-down
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    return info;
}

HBITMAP CreateTopDownDib(int width, int height, void** bits) {
    const BITMAPINFO info = TopDownDibInfo(width, height);
    return CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, bits, nullptr, 0);
}

bool CaptureWindow(HWND window, WindowPicture* picture) {
    RECT client = {};
    if (!GetClientRect(window, &client) || client.right <= 0 || client.bottom <= 0)
        return false;
    const int width = client.right;
    const int height = client.bottom;

    void* bits = nullptr;
    HBITMAP bitmap = CreateTopDownDib(width, height, &bits);
    HDC memory = CreateCompatibleDC(nullptr);
    HDC shown = GetDC(window);
    bool captured = false;
    if (bitmap != nullptr && memory != nullptr && shown != nullptr) {
        HGDIOBJ oldBitmap = SelectObject(memory, bitmap);
        captured = BitBlt(memory, 0, 0, width, height, shown, 0, 0, SRCCOPY) != 0;
        GdiFlush();
        picture->width = width;
        picture->height = height;
        picture->rgb.resize(static_cast<size_t>(width) * height * 3);
        const uint8_t* bgrx = static_cast<const uint8_t*>(bits);
        for (size_t i = 0; i < static_cast<size_t>(width) * height; ++i) {
            picture->rgb[3 * i] = bgrx[4 * i + 2];
            picture->rgb[3 * i + 1] = bgrx[4 * i + 1];
            picture->rgb[3 * i + 2] = bgrx[4 * i];
        }
        SelectObject(memory, oldBitmap);
    }
    if (shown != nullptr)
        ReleaseDC(window, shown);
    if (memory != nullptr)
        DeleteDC(memory);
    if (bitmap != nullptr)
        DeleteObject(bitmap);
    return captured;
}
