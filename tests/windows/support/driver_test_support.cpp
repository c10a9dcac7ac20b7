#include "tests/windows/support/driver_test_support.h"

#include <cstring>
#include <string>

#include "config/settings.h"
#include "config/settings_key.h"
#include "driver/library_state.h"
#include "include/qp240_remote.h"
#include "toolkit/drawing_resources.h"

void DeleteVariantSettingsKey() {
    char path[kSettingsKeyPathSize];
    FormatSettingsKeyPath(kProfile.guid, path);
    // Only this variant's key: the keys above it are shared with the other
    // variant's test programs, which may be creating their own key beneath
    // them at this moment (deleting a parent then fails their create).
    RegDeleteKeyA(HKEY_CURRENT_USER, path);
}

// Before main: no test has called the library yet.
static const std::string g_errorTextAtLoad = QP240REMOTE_GetLastErrorString();

const char* ErrorTextAtLoad() {
    return g_errorTextAtLoad.c_str();
}

void ResetLibraryState() {
    QP240REMOTE_End();
    while (g_drawing.referenceCount > 0)
        ToolkitEnd();
    g_drawing.referenceCount = 0;
    std::memset(&g_library, 0, sizeof g_library);
    std::strcpy(g_library.lastErrorText, ErrorTextAtLoad());
    g_library.module = GetModuleHandleA(nullptr);
    g_libraryDefaults = LibraryDefaults{0, 0, 0};
    DeleteVariantSettingsKey();
}
