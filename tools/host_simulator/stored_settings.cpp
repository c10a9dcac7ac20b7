#include "tools/host_simulator/stored_settings.h"

#include <cstdio>

static const char* const kValueNames[kStoredValueCount] = {kStoredKeyModeValue,
                                                           kStoredChannelValue};

std::vector<std::string> SettingsKeyPaths(const KeypadFamily& family) {
    const std::string root = "Lorendel";
    const std::string base = root + "\\QP240_Remote";
    return {root, base, base + "\\" + family.guid};
}

std::string SettingsKeyPath(const KeypadFamily& family) {
    return SettingsKeyPaths(family).back();
}

// In the logon session's namespace: the registry the runs share is the user's.
static constexpr char kClaimName[] = "Local\\KolmarHostSimulatorStoredSettings";

HANDLE StoredSettingsClaim() {
    const HANDLE claim = CreateMutexA(nullptr, FALSE, kClaimName);
    if (claim == nullptr)
        return nullptr;
    // Abandoned: a run that ended without its restore; this one may go on.
    if (WaitForSingleObject(claim, 0) == WAIT_TIMEOUT) {
        std::fprintf(stderr, "host_simulator: another run keeps this user's stored settings "
                             "aside; waiting for it to end\n");
        WaitForSingleObject(claim, INFINITE);
    }
    return claim;
}

void StoredSettingsLetGo(HANDLE claim) {
    if (claim == nullptr)
        return;
    ReleaseMutex(claim);
    CloseHandle(claim);
}

static bool KeyExists(const std::string& path) {
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return false;
    RegCloseKey(key);
    return true;
}

StoredSettings StoredSettingsRead(const KeypadFamily& family) {
    StoredSettings saved = {};
    saved.family = &family;
    const std::vector<std::string> paths = SettingsKeyPaths(family);
    for (size_t i = 0; i < paths.size() && i < kStoredKeyLevels; ++i)
        saved.keyExisted[i] = KeyExists(paths[i]);
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, paths.back().c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return saved;
    for (int v = 0; v < kStoredValueCount; ++v) {
        StoredValue& value = saved.values[v];
        DWORD size = 0;
        if (RegQueryValueExA(key, kValueNames[v], nullptr, &value.type, nullptr, &size) !=
            ERROR_SUCCESS)
            continue;
        value.bytes.resize(size);
        value.present = RegQueryValueExA(key, kValueNames[v], nullptr, &value.type,
                                         value.bytes.data(), &size) == ERROR_SUCCESS;
        value.bytes.resize(size);
    }
    RegCloseKey(key);
    return saved;
}

void StoredSettingsRestore(const StoredSettings& saved) {
    const std::vector<std::string> paths = SettingsKeyPaths(*saved.family);
    HKEY key = nullptr;
    if (saved.keyExisted[kStoredKeyLevels - 1] &&
        RegOpenKeyExA(HKEY_CURRENT_USER, paths.back().c_str(), 0, KEY_SET_VALUE, &key) ==
            ERROR_SUCCESS) {
        for (int v = 0; v < kStoredValueCount; ++v) {
            const StoredValue& value = saved.values[v];
            if (value.present)
                RegSetValueExA(key, kValueNames[v], 0, value.type, value.bytes.data(),
                               static_cast<DWORD>(value.bytes.size()));
            else
                RegDeleteValueA(key, kValueNames[v]);
        }
        RegCloseKey(key);
    }
    // Innermost first; a key that holds the other deliverable's settings is
    // not empty, so RegDeleteKeyA leaves it.
    for (size_t i = paths.size(); i-- > 0;)
        if (i < kStoredKeyLevels && !saved.keyExisted[i])
            RegDeleteKeyA(HKEY_CURRENT_USER, paths[i].c_str());
}
