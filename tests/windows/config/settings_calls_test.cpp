// The registry calls the settings make, in order and with their arguments,
// seen through this program's own import table: the driver code runs as
// shipped and still reaches the real registry, while failures can be injected.
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "config/settings.h"
#include "include/qp240_remote.h"
#include "tests/windows/config/config_test_support.h"
#include "tools/common/printf_format.h"
#include "tools/host_simulator/import_patch.h"

namespace {

std::vector<std::string> g_calls;
bool g_openFails = false;
bool g_createFails = false;

decltype(&RegOpenKeyA) g_realOpen = nullptr;
decltype(&RegCreateKeyA) g_realCreate = nullptr;
decltype(&RegQueryValueExA) g_realQuery = nullptr;
decltype(&RegSetValueExA) g_realSet = nullptr;
decltype(&RegCloseKey) g_realClose = nullptr;

void Record(const char* format, ...) KOLMAR_PRINTF_FORMAT(1, 2);
void Record(const char* format, ...) {
    char line[256];
    va_list arguments;
    va_start(arguments, format);
    std::vsnprintf(line, sizeof line, format, arguments);
    va_end(arguments);
    g_calls.push_back(line);
}

bool IsSettingsKey(const char* path) {
    return path != nullptr && std::strstr(path, "QP240_Remote") != nullptr;
}

LONG WINAPI RecordOpen(HKEY root, LPCSTR path, PHKEY key) {
    if (!IsSettingsKey(path))
        return g_realOpen(root, path, key);
    const LONG result = g_openFails ? ERROR_ACCESS_DENIED : g_realOpen(root, path, key);
    Record("open %s", result == ERROR_SUCCESS ? "ok" : "failed");
    return result;
}

LONG WINAPI RecordCreate(HKEY root, LPCSTR path, PHKEY key) {
    if (!IsSettingsKey(path))
        return g_realCreate(root, path, key);
    const LONG result = g_createFails ? ERROR_ACCESS_DENIED : g_realCreate(root, path, key);
    Record("create %s", result == ERROR_SUCCESS ? "ok" : "failed");
    return result;
}

LONG WINAPI RecordQuery(HKEY key, LPCSTR name, LPDWORD reserved, LPDWORD type, LPBYTE data,
                        LPDWORD size) {
    Record("query %s type %lu size %lu%s", name, type ? *type : 99ul, size ? *size : 99ul,
           reserved == nullptr ? "" : " reserved");
    return g_realQuery(key, name, reserved, type, data, size);
}

LONG WINAPI RecordSet(HKEY key, LPCSTR name, DWORD reserved, DWORD type, const BYTE* data,
                      DWORD size) {
    Record("set %s type %lu size %lu reserved %lu value %d", name, type, size, reserved,
           size == 4 ? static_cast<int>(data[0] | data[1] << 8 | data[2] << 16 | data[3] << 24)
                     : -1);
    return g_realSet(key, name, reserved, type, data, size);
}

LONG WINAPI RecordClose(HKEY key) {
    Record("close");
    return g_realClose(key);
}

template <typename Function>
void Swap(const char* name, Function replacement, Function* saved) {
    // This program reaches the registry through its own imports of advapi32.
    void* previous = ReplaceImport(GetModuleHandleA(nullptr), "advapi32.dll", name,
                                   reinterpret_cast<void*>(replacement));
    ASSERT_NE(previous, nullptr) << name;
    if (saved != nullptr)
        *saved = reinterpret_cast<Function>(previous);
}

class SettingsCalls : public LibraryTest {
  protected:
    void SetUp() override {
        LibraryTest::SetUp();
        Swap("RegOpenKeyA", &RecordOpen, &g_realOpen);
        Swap("RegCreateKeyA", &RecordCreate, &g_realCreate);
        Swap("RegQueryValueExA", &RecordQuery, &g_realQuery);
        Swap("RegSetValueExA", &RecordSet, &g_realSet);
        Swap("RegCloseKey", &RecordClose, &g_realClose);
        g_calls.clear();
        g_openFails = g_createFails = false;
    }
    void TearDown() override {
        Swap<decltype(g_realOpen)>("RegOpenKeyA", g_realOpen, nullptr);
        Swap<decltype(g_realCreate)>("RegCreateKeyA", g_realCreate, nullptr);
        Swap<decltype(g_realQuery)>("RegQueryValueExA", g_realQuery, nullptr);
        Swap<decltype(g_realSet)>("RegSetValueExA", g_realSet, nullptr);
        Swap<decltype(g_realClose)>("RegCloseKey", g_realClose, nullptr);
        LibraryTest::TearDown();
    }
};

using Calls = std::vector<std::string>;

TEST_F(SettingsCalls, LoadOpensQueriesAndClosesOnceForEachValue) {
    LoadSettings();
    EXPECT_EQ(g_calls, (Calls{"open failed", "open failed"})) << "no key: nothing created";

    const int32_t one = 1;
    StoreSetting("GenStatus", REG_BINARY, &one, sizeof one);
    g_calls.clear();
    LoadSettings();
    // Each query starts from the type REG_BINARY (3) and a 4-byte buffer.
    EXPECT_EQ(g_calls, (Calls{"open ok", "query GenStatus type 3 size 4", "close", "open ok",
                              "query Channel type 3 size 4", "close"}));
}

TEST_F(SettingsCalls, SaveCreatesTheKeyOnlyWhenItCannotBeOpened) {
    DriverInstance instance = {};
    instance.keyMode.store(1);
    instance.midiChannel.store(200);
    SaveSettings(&instance);
    EXPECT_EQ(g_calls, (Calls{"open failed", "create ok",
                              "set GenStatus type 3 size 4 reserved 0 value 1", "close", "open ok",
                              "set Channel type 3 size 4 reserved 0 value 200", "close"}));
    EXPECT_EQ(g_libraryDefaults.keyMode, 1);
    EXPECT_EQ(g_libraryDefaults.midiChannel, 200);

    // A key that can be neither opened nor created: both values skipped, the
    // defaults taken all the same.
    g_calls.clear();
    g_openFails = g_createFails = true;
    instance.midiChannel.store(3);
    SaveSettings(&instance);
    EXPECT_EQ(g_calls, (Calls{"open failed", "create failed", "open failed", "create failed"}));
    EXPECT_EQ(g_libraryDefaults.midiChannel, 3);
}

LRESULT CALLBACK RecordingBoxProcedure(HWND, UINT, WPARAM, LPARAM);
WNDPROC g_boxProcedure = nullptr;
LRESULT CALLBACK RecordingBoxProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_DESTROY)
        Record("box destroyed");
    return CallWindowProcA(g_boxProcedure, window, message, wParam, lParam);
}

TEST_F(SettingsCalls, DestroySavesBeforeItClosesTheBox) {
    ASSERT_EQ(QP240REMOTE_Init(GetModuleHandleA(nullptr)), 0);
    HWND host = CreateHostWindow(700, 400);
    void* handle = QP240REMOTE_Create([](intptr_t, int32_t, int32_t, void*) { return 0; }, 0);
    ASSERT_NE(handle, nullptr);
    QP240REMOTE_OpenConfigBox(handle, host, 0, 0, 600, 300);
    HWND box = static_cast<DriverInstance*>(handle)->configBox.window;
    ASSERT_NE(box, nullptr);
    g_boxProcedure = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrA(box, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(RecordingBoxProcedure)));

    g_calls.clear();
    EXPECT_EQ(QP240REMOTE_Destroy(handle), 0);
    ASSERT_FALSE(g_calls.empty());
    EXPECT_EQ(g_calls.back(), "box destroyed");
    EXPECT_EQ(g_calls.size(), 8u);
    DestroyWindow(host);
    PumpHostMessages();
}

}  // namespace
