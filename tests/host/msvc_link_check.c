/* Linked by a Microsoft-style linker through a DLL's .lib, with no C runtime:
 * runs only if the .lib names the DLL's file and its exports. */
#include "qp240_remote.h"

int mainCRTStartup(void) {
    char text[QP240REMOTE_ARCHITECTURE_TEXT_SIZE];
    if (QP240REMOTE_GetPlugInformation(QP240REMOTE_PLUG_ARCHITECTURE_TEXT, text) != QP240REMOTE_OK)
        return 1;
    return text[QP240REMOTE_ARCHITECTURE_TEXT_SIZE - 1] == '\0' ? 0 : 1;
}
