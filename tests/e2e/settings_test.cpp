// The settings through the real DLLs: they survive a restart of the host, each
// deliverable keeps its own key, and a key that cannot be made costs nothing
// but the persistence.
#include <cstring>
#include <string>

#include <gtest/gtest.h>

#include "tests/e2e/e2e_support.h"

namespace {

// The stored 4-byte value, or INT32_MIN when it is missing or not 4 bytes.
int32_t Stored(const KeypadFamily& family, const char* name) {
    int32_t value = 0;
    DWORD type = 0;
    DWORD size = sizeof value;
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, SettingsKeyPath(family).c_str(), 0, KEY_READ, &key) !=
        ERROR_SUCCESS)
        return INT32_MIN;
    const LONG result =
        RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE*>(&value), &size);
    RegCloseKey(key);
    return result == ERROR_SUCCESS && type == REG_BINARY && size == 4 ? value : INT32_MIN;
}

bool KeyExists(const char* path) {
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, path, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return false;
    RegCloseKey(key);
    return true;
}

typedef QP240REMOTE_Context Context;

// Init, one instance with `chosen`, Destroy, End: one run of a host.
void HostRun(const Deliverable& d, const Context& chosen, Context* started) {
    ASSERT_EQ(d.Init(d.module), QP240REMOTE_OK);
    void* instance = d.Create(IgnoringCallback, 0);
    ASSERT_NE(instance, nullptr);
    ASSERT_EQ(d.GetContext(instance, started), QP240REMOTE_OK);
    ASSERT_EQ(d.SetContext(instance, &chosen, sizeof chosen), QP240REMOTE_OK);
    EXPECT_EQ(d.Destroy(instance), QP240REMOTE_OK);
    EXPECT_EQ(d.End(), QP240REMOTE_OK);
}

class SettingsThroughTheDll : public EachDeliverable {
  protected:
    void TearDown() override {
        EachDeliverable::TearDown();
        DeleteSettingsKeys();
    }
    // Unloads and loads the DLL again: a host restart.
    void Restart() {
        DeliverableUnload(&d);
        char error[512];
        ASSERT_TRUE(DeliverableLoad(&d, DeliverablePath(*GetParam()).c_str(), error, sizeof error))
            << error;
    }
};

TEST_P(SettingsThroughTheDll, SurviveARestartOfTheHost) {
    Context started = {};
    HostRun(d, Context{QP240REMOTE_KEY_MODE_MIDI, 12, 4}, &started);
    EXPECT_EQ(started.keyMode, QP240REMOTE_KEY_MODE_PADS);
    EXPECT_EQ(started.midiChannel, 0);
    EXPECT_EQ(Stored(*GetParam(), kStoredKeyModeValue), QP240REMOTE_KEY_MODE_MIDI);
    EXPECT_EQ(Stored(*GetParam(), kStoredChannelValue), 12);

    Restart();
    HostRun(d, Context{QP240REMOTE_KEY_MODE_PADS, 3, 0}, &started);
    EXPECT_EQ(started.keyMode, QP240REMOTE_KEY_MODE_MIDI);
    EXPECT_EQ(started.midiChannel, 12);
    EXPECT_EQ(started.padBank, 0) << "PadBank is not stored";
}

TEST_P(SettingsThroughTheDll, AKeyThatCannotBeMadeStillHandsTheValuesOn) {
    // A volatile parent refuses lasting subkeys: the settings key can be
    // neither opened nor created.
    const std::vector<std::string> paths = SettingsKeyPaths(*GetParam());
    RegDeleteTreeA(HKEY_CURRENT_USER, paths[0].c_str());
    HKEY parent = nullptr;
    ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, paths[1].c_str(), 0, nullptr, REG_OPTION_VOLATILE,
                              KEY_ALL_ACCESS, nullptr, &parent, nullptr),
              ERROR_SUCCESS);
    RegCloseKey(parent);

    ASSERT_EQ(d.Init(d.module), QP240REMOTE_OK);
    void* first = d.Create(IgnoringCallback, 0);
    ASSERT_NE(first, nullptr);
    const Context chosen = {QP240REMOTE_KEY_MODE_MIDI, 7, 2};
    d.SetContext(first, &chosen, sizeof chosen);
    EXPECT_EQ(d.Destroy(first), QP240REMOTE_OK);
    EXPECT_FALSE(KeyExists(SettingsKeyPath(*GetParam()).c_str()));

    void* next = d.Create(IgnoringCallback, 0);
    ASSERT_NE(next, nullptr);
    Context inherited = {};
    d.GetContext(next, &inherited);
    EXPECT_EQ(inherited.keyMode, QP240REMOTE_KEY_MODE_MIDI);
    EXPECT_EQ(inherited.midiChannel, 7);
    EXPECT_EQ(inherited.padBank, 0);
    EXPECT_EQ(d.Destroy(next), QP240REMOTE_OK);
    d.End();
    RegDeleteTreeA(HKEY_CURRENT_USER, paths[0].c_str());
}

KOLMAR_FOR_BOTH_DELIVERABLES(SettingsThroughTheDll);

TEST(SettingsOfBothDeliverables, EachReadsAndWritesOnlyItsOwnKey) {
    StartFromCleanState();
    Deliverable keys32 = {}, keys15 = {};
    char error[512];
    ASSERT_TRUE(
        DeliverableLoad(&keys32, DeliverablePath(kFamily32Keys).c_str(), error, sizeof error));
    ASSERT_TRUE(
        DeliverableLoad(&keys15, DeliverablePath(kFamily15Keys).c_str(), error, sizeof error));

    Context started = {};
    HostRun(keys32, Context{QP240REMOTE_KEY_MODE_MIDI, 5, 0}, &started);
    EXPECT_FALSE(KeyExists(SettingsKeyPath(kFamily15Keys).c_str()));
    HostRun(keys15, Context{QP240REMOTE_KEY_MODE_PADS, 9, 0}, &started);
    EXPECT_EQ(started.keyMode, QP240REMOTE_KEY_MODE_PADS)
        << "the 15-key driver read the 32-key settings";
    EXPECT_EQ(started.midiChannel, 0);

    EXPECT_EQ(Stored(kFamily32Keys, kStoredKeyModeValue), QP240REMOTE_KEY_MODE_MIDI);
    EXPECT_EQ(Stored(kFamily32Keys, kStoredChannelValue), 5);
    EXPECT_EQ(Stored(kFamily15Keys, kStoredKeyModeValue), QP240REMOTE_KEY_MODE_PADS);
    EXPECT_EQ(Stored(kFamily15Keys, kStoredChannelValue), 9);

    // Both at once in one host: each starts from its own.
    ASSERT_EQ(keys32.Init(keys32.module), QP240REMOTE_OK);
    ASSERT_EQ(keys15.Init(keys15.module), QP240REMOTE_OK);
    void* instance32 = keys32.Create(IgnoringCallback, 0);
    void* instance15 = keys15.Create(IgnoringCallback, 0);
    Context context32 = {}, context15 = {};
    keys32.GetContext(instance32, &context32);
    keys15.GetContext(instance15, &context15);
    EXPECT_EQ(context32.midiChannel, 5);
    EXPECT_EQ(context15.midiChannel, 9);
    keys32.Destroy(instance32);
    keys15.Destroy(instance15);
    keys32.End();
    keys15.End();
    DeliverableUnload(&keys32);
    DeliverableUnload(&keys15);
    DeleteSettingsKeys();
}

}  // namespace
