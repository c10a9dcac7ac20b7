// Process attach records the library's own module handle; nothing else is done
// on attach or detach of the process or its threads.
#include "driver/library_state.h"

extern "C" BOOL WINAPI DllMain(HINSTANCE module, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH && g_library.module == nullptr)
        g_library.module = module;
    return TRUE;
}
