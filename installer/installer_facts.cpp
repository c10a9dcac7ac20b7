// Writes the facts the installer needs as NSIS defines, taken from where the
// drivers keep them: the version, and for each DLL its keypad model and the
// registry key of its stored settings. A native program, run by
// tools/package.sh.
#include <cstdio>
#include <cstring>

#include "config/settings_key.h"
#include "base/variant_profile.h"
#include "base/version.h"

int main() {
    std::printf("!define VERSION \"%d.%d.%d.%d\"\n", KOLMAR_VERSION_MAJOR, KOLMAR_VERSION_MINOR,
                KOLMAR_VERSION_PATCH, KOLMAR_VERSION_TWEAK);
    for (const VariantProfile* profile : kFamilies) {
        char key[kSettingsKeyPathSize];
        FormatSettingsKeyPath(profile->guid, key);
        std::printf("!define MODEL_%d \"%s\"\n", profile->keyCount, profile->modelName);
        std::printf("!define SETTINGS_KEY_%d \"%s\"\n", profile->keyCount, key);
    }
    // The base and its first key, which the uninstaller removes only when empty:
    // the host's other drivers may keep their settings there.
    std::printf("!define SETTINGS_KEY_BASE \"%s\"\n", kSettingsKeyBase);
    const char* end = std::strchr(kSettingsKeyBase, '\\');
    std::printf("!define SETTINGS_KEY_TOP \"%.*s\"\n", static_cast<int>(end - kSettingsKeyBase),
                kSettingsKeyBase);
    return 0;
}
