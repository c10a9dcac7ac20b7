/* Linked by a Microsoft-style linker with /DELAYLOAD:Kolmar32Keys.dll through
 * the DLL's .lib, with no C runtime. The exit code says what went wrong:
 * 1 the program has no delay-import directory (the .lib was not delay
 *   loaded), 2 the DLL was loaded before its first call, 3 the call failed,
 * 4 the DLL was not loaded by it. */
#include "qp240_remote.h"

__declspec(dllimport) void* __stdcall GetModuleHandleA(const char* name);

/* IMAGE_DIRECTORY_ENTRY_DELAY_IMPORT's size in this program's own headers. */
static unsigned DelayImportSize(void) {
    const unsigned char* image = (const unsigned char*)GetModuleHandleA(0);
    const unsigned char* header = image + *(const unsigned*)(image + 0x3C);
    /* PE signature (4), file header (20), then the PE32+ optional header whose
     * data directories start at 112; entry 13, 8 bytes each. */
    return *(const unsigned*)(header + 24 + 112 + 13 * 8 + 4);
}

int mainCRTStartup(void) {
    char text[QP240REMOTE_ARCHITECTURE_TEXT_SIZE];
    if (DelayImportSize() == 0)
        return 1;
    if (GetModuleHandleA("Kolmar32Keys.dll") != 0)
        return 2;
    if (QP240REMOTE_GetPlugInformation(QP240REMOTE_PLUG_ARCHITECTURE_TEXT, text) != QP240REMOTE_OK)
        return 3;
    return GetModuleHandleA("Kolmar32Keys.dll") != 0 ? 0 : 4;
}
