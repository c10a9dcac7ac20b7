#include "toolkit/list_view.h"

LRESULT CALLBACK ListViewWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    return DefWindowProcA(window, message, wParam, lParam);
}
