#include "config/config_box.h"

LRESULT CALLBACK ConfigBoxWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_CREATE: {
            const CREATESTRUCTA* create = reinterpret_cast<const CREATESTRUCTA*>(lParam);
            SetWindowLongPtrA(window, 0, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
            return 0;
        }
        case WM_DESTROY:
            return 0;
        case WM_PAINT: {
            PAINTSTRUCT paint;
            BeginPaint(window, &paint);
            EndPaint(window, &paint);
            return 0;
        }
        case WM_ERASEBKGND:
            return 1;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

void ConfigBoxRepaintFields(DriverInstance* instance) {
    if (instance->configWindow != nullptr)
        InvalidateRect(instance->configWindow, nullptr, FALSE);
}
