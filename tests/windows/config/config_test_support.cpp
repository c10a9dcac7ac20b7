#include "tests/windows/config/config_test_support.h"

#include <cstring>

#include <sddl.h>

#include "config/config_box.h"
#include "config/settings_key.h"
#include "tests/windows/support/driver_test_support.h"

static const char kHostClassName[] = "Kolmar Test Host";

HWND CreateHostWindow(int width, int height) {
    WNDCLASSA hostClass = {};
    hostClass.lpfnWndProc = DefWindowProcA;
    hostClass.hInstance = GetModuleHandleA(nullptr);
    hostClass.hbrBackground = static_cast<HBRUSH>(GetStockObject(GRAY_BRUSH));
    hostClass.lpszClassName = kHostClassName;
    RegisterClassA(&hostClass);  // fails harmlessly once it exists
    HWND host =
        CreateWindowExA(0, kHostClassName, "host", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, width,
                        height, nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
    PumpHostMessages();
    return host;
}

bool CanvasCreate(Canvas* canvas, int width, int height) {
    std::memset(canvas, 0, sizeof *canvas);
    void* bits = nullptr;
    canvas->bitmap = CreateTopDownDib(width, height, &bits);
    canvas->dc = CreateCompatibleDC(nullptr);
    if (canvas->bitmap == nullptr || canvas->dc == nullptr) {
        CanvasFree(canvas);
        return false;
    }
    canvas->oldBitmap = SelectObject(canvas->dc, canvas->bitmap);
    canvas->pixels = static_cast<uint32_t*>(bits);
    canvas->width = width;
    canvas->height = height;
    // Anything the painting leaves untouched shows as this, not as black.
    for (int i = 0; i < width * height; ++i)
        canvas->pixels[i] = 0x00FF00FF;
    return true;
}

void CanvasFree(Canvas* canvas) {
    if (canvas->dc != nullptr) {
        if (canvas->oldBitmap != nullptr)
            SelectObject(canvas->dc, canvas->oldBitmap);
        DeleteDC(canvas->dc);
    }
    if (canvas->bitmap != nullptr)
        DeleteObject(canvas->bitmap);
    std::memset(canvas, 0, sizeof *canvas);
}

uint32_t CanvasPixel(const Canvas& canvas, int x, int y) {
    GdiFlush();
    return canvas.pixels[y * canvas.width + x] & 0x00FFFFFF;
}

std::vector<uint32_t> BitmapPixels(HBITMAP bitmap, int* width, int* height) {
    BITMAP size = {};
    GetObjectA(bitmap, sizeof size, &size);
    *width = size.bmWidth;
    *height = size.bmHeight;
    std::vector<uint32_t> pixels(static_cast<size_t>(size.bmWidth) * size.bmHeight);
    BITMAPINFO info = TopDownDibInfo(size.bmWidth, size.bmHeight);
    HDC screen = GetDC(nullptr);
    GetDIBits(screen, bitmap, 0, size.bmHeight, pixels.data(), &info, DIB_RGB_COLORS);
    ReleaseDC(nullptr, screen);
    for (uint32_t& pixel : pixels)
        pixel &= 0x00FFFFFF;
    return pixels;
}

void RenderConfigBox(ConfigBoxState* state, HWND box, Canvas* canvas) {
    SendMessageA(box, WM_ERASEBKGND, reinterpret_cast<WPARAM>(canvas->dc), 0);
    PaintConfigFields(state, box, canvas->dc);
    GdiFlush();
}

static void SettingsKeyPath(char (&path)[kSettingsKeyPathSize]) {
    FormatSettingsKeyPath(kProfile.guid, path);
}

void DeleteSettingsKey() {
    UnlockSettingsKey();
    DeleteVariantSettingsKey();
}

void StoreSetting(const char* name, DWORD type, const void* data, DWORD size) {
    char path[kSettingsKeyPathSize];
    SettingsKeyPath(path);
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyA(HKEY_CURRENT_USER, path, &key), ERROR_SUCCESS);
    EXPECT_EQ(RegSetValueExA(key, name, 0, type, static_cast<const BYTE*>(data), size),
              ERROR_SUCCESS);
    RegCloseKey(key);
}

bool ReadSetting(const char* name, DWORD* type, std::vector<uint8_t>* bytes) {
    char path[kSettingsKeyPathSize];
    SettingsKeyPath(path);
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, path, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return false;
    DWORD size = 0;
    LONG result = RegQueryValueExA(key, name, nullptr, type, nullptr, &size);
    bytes->assign(size, 0);
    if (result == ERROR_SUCCESS)
        result = RegQueryValueExA(key, name, nullptr, type, bytes->data(), &size);
    RegCloseKey(key);
    return result == ERROR_SUCCESS;
}

int32_t StoredInt(const char* name) {
    DWORD type = 0;
    std::vector<uint8_t> bytes;
    if (!ReadSetting(name, &type, &bytes)) {
        ADD_FAILURE() << name << " is not stored";
        return INT32_MIN;
    }
    EXPECT_EQ(type, static_cast<DWORD>(REG_BINARY)) << name;
    EXPECT_EQ(bytes.size(), 4u) << name;
    if (bytes.size() != 4)
        return INT32_MIN;
    int32_t value = 0;
    std::memcpy(&value, bytes.data(), 4);
    return value;
}

static void SetSettingsKeySecurity(const char* descriptorText) {
    char path[kSettingsKeyPathSize];
    SettingsKeyPath(path);
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, path, 0, WRITE_DAC, &key) != ERROR_SUCCESS)
        return;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (ConvertStringSecurityDescriptorToSecurityDescriptorA(descriptorText, SDDL_REVISION_1,
                                                             &descriptor, nullptr)) {
        RegSetKeySecurity(key, DACL_SECURITY_INFORMATION, descriptor);
        LocalFree(descriptor);
    }
    RegCloseKey(key);
}

void LockSettingsKey() {
    // A protected list that denies everyone every key right.
    SetSettingsKeySecurity("D:P(D;;KA;;;WD)");
}

void UnlockSettingsKey() {
    SetSettingsKeySecurity("D:P(A;;KA;;;WD)");
}

void LibraryTest::SetUp() {
    ResetLibraryState();
    DeleteSettingsKey();
}

void LibraryTest::TearDown() {
    ResetLibraryState();
    DeleteSettingsKey();
}
