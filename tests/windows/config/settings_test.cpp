// The settings in the real per-user registry (of the test prefix): what Init
// loads, what Destroy stores, and what new and reset instances start from.
#include <cstring>

#include <gtest/gtest.h>

#include "config/settings.h"
#include "config/settings_key.h"
#include "include/qp240_remote.h"
#include "tests/windows/config/config_test_support.h"
#include "tests/windows/support/driver_test_support.h"

namespace {

QP240REMOTE_Context ContextOf(void* instance) {
    QP240REMOTE_Context context = {-7, -7, -7};
    EXPECT_EQ(QP240REMOTE_GetContext(instance, &context), 0);
    return context;
}

void ExpectContext(const QP240REMOTE_Context& context, int32_t keyMode, int32_t channel,
                   int32_t padBank) {
    EXPECT_EQ(context.keyMode, keyMode);
    EXPECT_EQ(context.midiChannel, channel);
    EXPECT_EQ(context.padBank, padBank);
}

// Creates an instance, gives it `context` and destroys it: what a host does
// when the user changed the settings and closed the document.
void DestroyWith(QP240REMOTE_Context context) {
    void* instance = QP240REMOTE_Create(IgnoringCallback, 0);
    ASSERT_NE(instance, nullptr);
    ASSERT_EQ(QP240REMOTE_SetContext(instance, &context, sizeof context), 0);
    ASSERT_EQ(QP240REMOTE_Destroy(instance), 0);
}

// What a new instance starts from after a fresh Init.
QP240REMOTE_Context ContextAfterInit() {
    EXPECT_EQ(QP240REMOTE_Init(GetModuleHandleA(nullptr)), 0);
    void* instance = QP240REMOTE_Create(IgnoringCallback, 0);
    EXPECT_NE(instance, nullptr);
    if (instance == nullptr)
        return QP240REMOTE_Context{-7, -7, -7};
    const QP240REMOTE_Context context = ContextOf(instance);
    QP240REMOTE_Destroy(instance);
    return context;
}

void StoreBinary(const char* name, int32_t value) {
    StoreSetting(name, REG_BINARY, &value, sizeof value);
}

bool SettingsKeyExists() {
    char path[kSettingsKeyPathSize];
    FormatSettingsKeyPath(kProfile.guid, path);
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, path, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return false;
    RegCloseKey(key);
    return true;
}

using Settings = LibraryTest;

TEST_F(Settings, FirstRunStartsInPadModeOnChannelZeroAndCreatesNoKeyUntilDestroy) {
    ASSERT_EQ(QP240REMOTE_Init(GetModuleHandleA(nullptr)), 0);
    void* instance = QP240REMOTE_Create(IgnoringCallback, 0);
    ASSERT_NE(instance, nullptr);
    ExpectContext(ContextOf(instance), 0, 0, 0);
    EXPECT_FALSE(SettingsKeyExists()) << "loading must never create the key";

    const QP240REMOTE_Context chosen = {1, 11, 3};
    ASSERT_EQ(QP240REMOTE_SetContext(instance, &chosen, sizeof chosen), 0);
    EXPECT_FALSE(SettingsKeyExists()) << "only Destroy writes the registry";
    ASSERT_EQ(QP240REMOTE_Destroy(instance), 0);

    // Both values as 4-byte REG_BINARY, little-endian; PadBank is not stored.
    EXPECT_EQ(StoredInt("GenStatus"), 1);
    EXPECT_EQ(StoredInt("Channel"), 11);
    DWORD type = 0;
    std::vector<uint8_t> bytes;
    ASSERT_TRUE(ReadSetting("Channel", &type, &bytes));
    EXPECT_EQ(bytes, (std::vector<uint8_t>{11, 0, 0, 0}));
    EXPECT_FALSE(ReadSetting("PadBank", &type, &bytes));
}

TEST_F(Settings, StoredValuesLoadWithoutAClamp) {
    StoreBinary("GenStatus", 1);
    StoreBinary("Channel", 200);
    ExpectContext(ContextAfterInit(), 1, 200, 0);

    ResetLibraryState();
    StoreBinary("GenStatus", 7);
    StoreBinary("Channel", -1);
    ExpectContext(ContextAfterInit(), 7, -1, 0);
}

TEST_F(Settings, ValuesOfAnotherTypeOrLongerThanFourBytesLeaveTheDefaultAsItWas) {
    // Defaults of 1 and 7, in this process and in the registry.
    ASSERT_EQ(QP240REMOTE_Init(GetModuleHandleA(nullptr)), 0);
    DestroyWith(QP240REMOTE_Context{1, 7, 0});
    QP240REMOTE_End();

    const DWORD dword = 0;
    StoreSetting("GenStatus", REG_DWORD, &dword, sizeof dword);
    const uint8_t eightBytes[8] = {3, 0, 0, 0, 0, 0, 0, 0};
    StoreSetting("Channel", REG_BINARY, eightBytes, sizeof eightBytes);
    ExpectContext(ContextAfterInit(), 1, 7, 0);

    // The same on a first load, where the defaults are still zero.
    ResetLibraryState();
    const DWORD one = 1;
    StoreSetting("GenStatus", REG_DWORD, &one, sizeof one);
    StoreSetting("Channel", REG_SZ, "5", 2);
    ExpectContext(ContextAfterInit(), 0, 0, 0);
}

TEST_F(Settings, ABinaryValueShorterThanFourBytesReadsItsMissingBytesAsZero) {
    // Defaults of -1: every bit set, so bytes left over from them would show.
    ASSERT_EQ(QP240REMOTE_Init(GetModuleHandleA(nullptr)), 0);
    DestroyWith(QP240REMOTE_Context{-1, -1, 0});
    QP240REMOTE_End();

    const uint8_t oneByte[1] = {5};
    const uint8_t twoBytes[2] = {0x34, 0x12};
    StoreSetting("GenStatus", REG_BINARY, oneByte, sizeof oneByte);
    StoreSetting("Channel", REG_BINARY, twoBytes, sizeof twoBytes);
    ExpectContext(ContextAfterInit(), 5, 0x1234, 0);

    QP240REMOTE_End();
    StoreSetting("Channel", REG_BINARY, nullptr, 0);
    ExpectContext(ContextAfterInit(), 5, 0, 0);
}

TEST_F(Settings, TheInstanceDestroyedLastDecides) {
    ASSERT_EQ(QP240REMOTE_Init(GetModuleHandleA(nullptr)), 0);
    void* a = QP240REMOTE_Create(IgnoringCallback, 0);
    void* b = QP240REMOTE_Create(IgnoringCallback, 0);
    ASSERT_NE(a, nullptr);
    ASSERT_NE(b, nullptr);
    const QP240REMOTE_Context contextA = {1, 5, 2};
    const QP240REMOTE_Context contextB = {0, 2, 9};
    QP240REMOTE_SetContext(a, &contextA, sizeof contextA);
    QP240REMOTE_SetContext(b, &contextB, sizeof contextB);

    ASSERT_EQ(QP240REMOTE_Destroy(a), 0);
    EXPECT_EQ(StoredInt("GenStatus"), 1);
    EXPECT_EQ(StoredInt("Channel"), 5);
    ASSERT_EQ(QP240REMOTE_Destroy(b), 0);
    EXPECT_EQ(StoredInt("GenStatus"), 0);
    EXPECT_EQ(StoredInt("Channel"), 2);

    // The defaults agree, and PadBank never leaves the instance.
    void* c = QP240REMOTE_Create(IgnoringCallback, 0);
    ASSERT_NE(c, nullptr);
    ExpectContext(ContextOf(c), 0, 2, 0);
    QP240REMOTE_Destroy(c);
}

// Two instances destroyed on two host threads at once.
struct ConcurrentDestroy {
    void* instance;
    HANDLE go;  // manual-reset: both Destroys begin together
};

DWORD WINAPI DestroyWhenTold(void* argument) {
    const ConcurrentDestroy* destroy = static_cast<const ConcurrentDestroy*>(argument);
    WaitForSingleObject(destroy->go, INFINITE);
    return static_cast<DWORD>(QP240REMOTE_Destroy(destroy->instance));
}

TEST_F(Settings, TwoDestroysAtOnceStoreOneInstancesPairAndTheNextStartsFromIt) {
    ASSERT_EQ(QP240REMOTE_Init(GetModuleHandleA(nullptr)), 0);
    const QP240REMOTE_Context pairs[2] = {{1, 5, 0}, {0, 9, 0}};
    for (int round = 0; round < 200 && !HasFailure(); ++round) {
        const HANDLE go = CreateEventA(nullptr, TRUE, FALSE, nullptr);
        ConcurrentDestroy destroys[2];
        HANDLE threads[2];
        for (int i = 0; i < 2; ++i) {
            destroys[i] = ConcurrentDestroy{QP240REMOTE_Create(IgnoringCallback, 0), go};
            ASSERT_NE(destroys[i].instance, nullptr);
            ASSERT_EQ(QP240REMOTE_SetContext(destroys[i].instance, &pairs[i], sizeof pairs[i]), 0);
            threads[i] = CreateThread(nullptr, 0, DestroyWhenTold, &destroys[i], 0, nullptr);
        }
        SetEvent(go);
        WaitForMultipleObjects(2, threads, TRUE, INFINITE);
        for (HANDLE thread : threads)
            CloseHandle(thread);
        CloseHandle(go);

        const int32_t keyMode = StoredInt("GenStatus");
        const int32_t channel = StoredInt("Channel");
        EXPECT_TRUE((keyMode == 1 && channel == 5) || (keyMode == 0 && channel == 9))
            << "round " << round << ": stored " << keyMode << ", " << channel;
        void* next = QP240REMOTE_Create(IgnoringCallback, 0);
        ExpectContext(ContextOf(next), keyMode, channel, 0);
        QP240REMOTE_Destroy(next);
    }
}

TEST_F(Settings, AnUnwritableKeyStillHandsTheValuesToTheNextInstance) {
    StoreBinary("GenStatus", 0);
    StoreBinary("Channel", 3);
    LockSettingsKey();

    // The values cannot be read either: the defaults stay zero.
    ASSERT_EQ(QP240REMOTE_Init(GetModuleHandleA(nullptr)), 0);
    void* instance = QP240REMOTE_Create(IgnoringCallback, 0);
    ASSERT_NE(instance, nullptr);
    ExpectContext(ContextOf(instance), 0, 0, 0);
    const QP240REMOTE_Context chosen = {1, 9, 4};
    QP240REMOTE_SetContext(instance, &chosen, sizeof chosen);
    EXPECT_EQ(QP240REMOTE_Destroy(instance), 0);

    void* next = QP240REMOTE_Create(IgnoringCallback, 0);
    ASSERT_NE(next, nullptr);
    ExpectContext(ContextOf(next), 1, 9, 0);
    EXPECT_EQ(QP240REMOTE_Destroy(next), 0);

    // A reload that cannot read keeps them too.
    QP240REMOTE_End();
    ASSERT_EQ(QP240REMOTE_Init(GetModuleHandleA(nullptr)), 0);
    EXPECT_EQ(g_libraryDefaults.keyMode, 1);
    EXPECT_EQ(g_libraryDefaults.midiChannel, 9);

    UnlockSettingsKey();
    EXPECT_EQ(StoredInt("GenStatus"), 0);
    EXPECT_EQ(StoredInt("Channel"), 3);
}

TEST_F(Settings, EndKeepsTheDefaultsAndTheNextInitReloadsOverThem) {
    ASSERT_EQ(QP240REMOTE_Init(GetModuleHandleA(nullptr)), 0);
    DestroyWith(QP240REMOTE_Context{1, 4, 0});
    QP240REMOTE_End();
    EXPECT_EQ(g_libraryDefaults.keyMode, 1);
    EXPECT_EQ(g_libraryDefaults.midiChannel, 4);

    // Ended, the library still makes instances from the defaults.
    void* instance = QP240REMOTE_Create(IgnoringCallback, 0);
    ASSERT_NE(instance, nullptr);
    ExpectContext(ContextOf(instance), 1, 4, 0);
    QP240REMOTE_Destroy(instance);

    // Changed behind the library's back: the next Init takes the stored values.
    StoreBinary("GenStatus", 0);
    StoreBinary("Channel", 12);
    ExpectContext(ContextAfterInit(), 0, 12, 0);
}

TEST_F(Settings, ResetContextTakesTheDefaultsOnlyWhenAskedWith1) {
    StoreBinary("GenStatus", 1);
    StoreBinary("Channel", 6);
    ASSERT_EQ(QP240REMOTE_Init(GetModuleHandleA(nullptr)), 0);
    void* instance = QP240REMOTE_Create(IgnoringCallback, 0);
    ASSERT_NE(instance, nullptr);
    const QP240REMOTE_Context chosen = {0, 13, 5};
    QP240REMOTE_SetContext(instance, &chosen, sizeof chosen);

    EXPECT_EQ(QP240REMOTE_ResetContext(instance, 0), 0);
    ExpectContext(ContextOf(instance), 0, 13, 5);
    EXPECT_EQ(QP240REMOTE_ResetContext(instance, 2), 0);
    ExpectContext(ContextOf(instance), 0, 13, 5);
    EXPECT_EQ(QP240REMOTE_ResetContext(instance, 1), 0);
    ExpectContext(ContextOf(instance), 1, 6, 0);

    // Neither call wrote the registry.
    EXPECT_EQ(StoredInt("Channel"), 6);
    QP240REMOTE_Destroy(instance);
}

TEST_F(Settings, AFailedInitLoadsNothing) {
    StoreBinary("GenStatus", 1);
    StoreBinary("Channel", 8);
    // The box class exists already, so Init stops at its registration.
    ASSERT_EQ(QP240REMOTE_Init(GetModuleHandleA(nullptr)), 0);
    g_libraryDefaults = LibraryDefaults{0, 0, 0};
    EXPECT_EQ(QP240REMOTE_Init(GetModuleHandleA(nullptr)), QP240REMOTE_E_BOX_CLASS);
    EXPECT_EQ(g_libraryDefaults.keyMode, 0);
    EXPECT_EQ(g_libraryDefaults.midiChannel, 0);
}

}  // namespace
