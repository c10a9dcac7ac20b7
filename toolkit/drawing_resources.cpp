#include "toolkit/drawing_resources.h"

#include "toolkit/list_view.h"

DrawingResources g_drawing = {};

int ToolkitInit(HINSTANCE module) {
    if (++g_drawing.referenceCount != 1)
        return 1;
    g_drawing.listViewModule = module;
    WNDCLASSA listViewClass = {};
    listViewClass.style = CS_VREDRAW | CS_HREDRAW;
    listViewClass.lpfnWndProc = ListViewWindowProc;
    listViewClass.cbWndExtra = sizeof(void*);
    listViewClass.hInstance = module;
    listViewClass.hCursor = LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW));
    listViewClass.lpszClassName = MLV_CLASS_NAME;
    if (RegisterClassA(&listViewClass) == 0)
        return 0;
    return 1;
}

void ToolkitEnd() {
    if (--g_drawing.referenceCount != 0)
        return;
    UnregisterClassA(MLV_CLASS_NAME, g_drawing.listViewModule);
}
