// What the settings leave in the registry (of the test prefix): the whole
// contents of the settings key after a save, with the key missing and with a
// key that can be neither opened nor created (failures injected through this
// program's own imports, so the driver code runs as shipped), that loading and
// saving hold no key open, and that Destroy has saved before its box goes.
#include <algorithm>
#include <ostream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "config/settings.h"
#include "config/settings_key.h"
#include "engine/instance_settings.h"
#include "include/qp240_remote.h"
#include "tests/windows/config/config_test_support.h"
#include "tools/host_simulator/import_patch.h"
#include "tools/host_simulator/process_counts.h"

namespace {

bool g_openFails = false;
bool g_createFails = false;
decltype(&RegOpenKeyA) g_realOpen = nullptr;
decltype(&RegCreateKeyA) g_realCreate = nullptr;

LONG WINAPI FailingOpen(HKEY root, LPCSTR path, PHKEY key) {
    return g_openFails ? ERROR_ACCESS_DENIED : g_realOpen(root, path, key);
}

LONG WINAPI FailingCreate(HKEY root, LPCSTR path, PHKEY key) {
    return g_createFails ? ERROR_ACCESS_DENIED : g_realCreate(root, path, key);
}

template <typename Function>
Function Swap(const char* name, Function replacement) {
    // This program reaches the registry through its own imports of advapi32,
    // the legacy calls the settings are kept with.
    void* previous = ReplaceImport(GetModuleHandleA(nullptr), "advapi32.dll", name,
                                   reinterpret_cast<void*>(replacement));
    EXPECT_NE(previous, nullptr) << name;
    return reinterpret_cast<Function>(previous);
}

struct StoredValue {
    std::string name;
    DWORD type;
    std::vector<uint8_t> bytes;
    bool operator==(const StoredValue& other) const {
        return name == other.name && type == other.type && bytes == other.bytes;
    }
};
void PrintTo(const StoredValue& value, std::ostream* out) {
    *out << value.name << " type " << value.type << " bytes";
    for (const uint8_t byte : value.bytes)
        *out << ' ' << static_cast<int>(byte);
}

// Every value under the settings key, by name; empty when there is no key.
std::vector<StoredValue> SettingsKeyContents() {
    char path[kSettingsKeyPathSize];
    FormatSettingsKeyPath(kProfile.guid, path);
    std::vector<StoredValue> values;
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, path, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return values;
    for (DWORD i = 0;; ++i) {
        char name[64];
        DWORD nameSize = sizeof name;
        BYTE data[64];
        DWORD dataSize = sizeof data;
        DWORD type = 0;
        if (RegEnumValueA(key, i, name, &nameSize, nullptr, &type, data, &dataSize) !=
            ERROR_SUCCESS)
            break;
        values.push_back(StoredValue{name, type, std::vector<uint8_t>(data, data + dataSize)});
    }
    RegCloseKey(key);
    std::sort(values.begin(), values.end(),
              [](const StoredValue& a, const StoredValue& b) { return a.name < b.name; });
    return values;
}

std::vector<StoredValue> TwoSettings(uint8_t keyMode, uint8_t channel) {
    return {StoredValue{"Channel", REG_BINARY, {channel, 0, 0, 0}},
            StoredValue{"GenStatus", REG_BINARY, {keyMode, 0, 0, 0}}};
}

class SettingsRegistry : public LibraryTest {
  protected:
    void SetUp() override {
        LibraryTest::SetUp();
        g_openFails = g_createFails = false;
        g_realOpen = Swap("RegOpenKeyA", &FailingOpen);
        g_realCreate = Swap("RegCreateKeyA", &FailingCreate);
    }
    void TearDown() override {
        Swap("RegOpenKeyA", g_realOpen);
        Swap("RegCreateKeyA", g_realCreate);
        LibraryTest::TearDown();
    }
};

TEST_F(SettingsRegistry, SaveLeavesExactlyTheTwoValuesAndAnUnwritableKeyNothing) {
    InstanceSettings settings = {};
    settings.keyMode.store(1);
    settings.midiChannel.store(200);
    settings.padBank.store(7);
    SaveSettings(&settings);
    EXPECT_EQ(SettingsKeyContents(), TwoSettings(1, 200)) << "made anew, no PadBank";
    EXPECT_EQ(g_libraryDefaults.keyMode, 1);
    EXPECT_EQ(g_libraryDefaults.midiChannel, 200);

    // Over an existing key the values are replaced, nothing is added.
    settings.keyMode.store(0);
    settings.midiChannel.store(5);
    SaveSettings(&settings);
    EXPECT_EQ(SettingsKeyContents(), TwoSettings(0, 5));

    // A key that can be neither opened nor created: the registry keeps what it
    // had (here: nothing), the defaults are taken all the same.
    DeleteSettingsKey();
    g_openFails = g_createFails = true;
    settings.midiChannel.store(3);
    SaveSettings(&settings);
    LoadSettings();
    g_openFails = g_createFails = false;
    EXPECT_TRUE(SettingsKeyContents().empty());
    EXPECT_EQ(g_libraryDefaults.midiChannel, 3) << "a failed load keeps the defaults";
}

TEST_F(SettingsRegistry, LoadingAndSavingHoldNoKeyOpen) {
    InstanceSettings settings = {};
    SaveSettings(&settings);
    const int before = LiveKernelHandles();
    for (int i = 0; i < 50; ++i) {
        LoadSettings();
        settings.midiChannel.store(i % 16);
        SaveSettings(&settings);
    }
    EXPECT_EQ(LiveKernelHandles(), before);
    // Loading without a key neither creates it nor leaves a handle behind.
    DeleteSettingsKey();
    LoadSettings();
    EXPECT_TRUE(SettingsKeyContents().empty());
    EXPECT_EQ(LiveKernelHandles(), before);
}

// The registry as the box's window goes away.
std::vector<StoredValue> g_storedAtBoxDestroy;
WNDPROC g_boxProcedure = nullptr;
LRESULT CALLBACK RecordingBoxProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_DESTROY)
        g_storedAtBoxDestroy = SettingsKeyContents();
    return CallWindowProcA(g_boxProcedure, window, message, wParam, lParam);
}

TEST_F(SettingsRegistry, DestroyHasSavedBeforeItClosesTheBox) {
    ASSERT_EQ(QP240REMOTE_Init(GetModuleHandleA(nullptr)), QP240REMOTE_OK);
    HWND host = CreateHostWindow(700, 400);
    void* handle = QP240REMOTE_Create(IgnoringCallback, 0);
    ASSERT_NE(handle, nullptr);
    const QP240REMOTE_Context chosen = {1, 9, 0};
    ASSERT_EQ(QP240REMOTE_SetContext(handle, &chosen, sizeof chosen), QP240REMOTE_OK);
    QP240REMOTE_OpenConfigBox(handle, host, 0, 0, 600, 300);
    HWND box = static_cast<DriverInstance*>(handle)->configBox.window;
    ASSERT_NE(box, nullptr);
    g_boxProcedure = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrA(box, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(RecordingBoxProcedure)));

    g_storedAtBoxDestroy.clear();
    EXPECT_EQ(QP240REMOTE_Destroy(handle), QP240REMOTE_OK);
    EXPECT_EQ(g_storedAtBoxDestroy, TwoSettings(1, 9));
    DestroyWindow(host);
    PumpHostMessages();
}

}  // namespace
