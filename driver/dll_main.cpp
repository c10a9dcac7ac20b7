// Process attach records the library's own module handle. A FreeLibrary that
// unloads the library hands back the records its quarantine still keeps; at
// process exit nothing is done.
#include "driver/instance_record.h"
#include "driver/library_state.h"

extern "C" BOOL WINAPI DllMain(HINSTANCE module, DWORD reason, LPVOID reserved) {
    if (reason == DLL_PROCESS_ATTACH && g_library.module == nullptr)
        g_library.module = module;
    if (reason == DLL_PROCESS_DETACH && reserved == nullptr)
        InstanceQuarantineEmpty();
    return TRUE;
}
