// Init, End, Create and the last-error text: the library-level calls.
#include <cstring>
#include <string>

#include <gtest/gtest.h>

#include "config/config_box.h"
#include "config/settings.h"
#include "driver/library_state.h"
#include "include/qp240_remote.h"
#include "tests/windows/support/driver_test_support.h"
#include "toolkit/drawing_resources.h"
#include "toolkit/list_view.h"

namespace {

class LibraryLifecycle : public ::testing::Test {
  protected:
    void SetUp() override { ResetLibraryState(); }
    void TearDown() override { ResetLibraryState(); }
};

TEST_F(LibraryLifecycle, CreateBeforeInitFailsAndALaterSuccessKeepsTheText) {
    EXPECT_STREQ(QP240REMOTE_GetLastErrorString(), ErrorTextAtLoad());
    EXPECT_EQ(QP240REMOTE_Create(IgnoringCallback, 0), nullptr);
    EXPECT_STREQ(QP240REMOTE_GetLastErrorString(), kErrorNotInitialized);

    ASSERT_EQ(QP240REMOTE_Init(nullptr), 0);
    // No callback, no instance: its first Start could only crash the host.
    EXPECT_EQ(QP240REMOTE_Create(nullptr, 0), nullptr);
    void* instance = QP240REMOTE_Create(IgnoringCallback, 0);
    ASSERT_NE(instance, nullptr);
    EXPECT_STREQ(QP240REMOTE_GetLastErrorString(), kErrorNotInitialized);
    EXPECT_EQ(QP240REMOTE_Destroy(instance), 0);
}

TEST_F(LibraryLifecycle, ErrorTextIsCopiedOverTheStartOfOneFixedBuffer) {
    const char* text = QP240REMOTE_GetLastErrorString();
    EXPECT_EQ(QP240REMOTE_Create(IgnoringCallback, 0), nullptr);
    ASSERT_EQ(QP240REMOTE_Init(nullptr), 0);
    void* instance = QP240REMOTE_Create(IgnoringCallback, 0);
    ASSERT_NE(instance, nullptr);

    DriverInstance* record = static_cast<DriverInstance*>(instance);
    record->engine.flags.store(0);
    EXPECT_EQ(QP240REMOTE_GetContextSize(instance), QP240REMOTE_E_BAD_HANDLE);
    EXPECT_EQ(QP240REMOTE_GetLastErrorString(), text);
    // The shorter text and its zero overwrite the start; the tail of the
    // longer one stays behind it.
    std::string expected(kErrorNotInitialized, sizeof kErrorNotInitialized);
    expected.replace(0, sizeof kErrorObjectNotCreated, kErrorObjectNotCreated,
                     sizeof kErrorObjectNotCreated);
    EXPECT_EQ(0, std::memcmp(text, expected.data(), expected.size()));
    record->engine.flags.store(kInstanceCreated);
    EXPECT_EQ(QP240REMOTE_Destroy(instance), 0);
}

TEST_F(LibraryLifecycle, InitRegistersTheBoxClassWithItsExactFields) {
    ASSERT_EQ(QP240REMOTE_Init(nullptr), 0);
    EXPECT_NE(g_keypadPicture, nullptr);
    EXPECT_TRUE(g_library.initialised);
    EXPECT_NE(g_library.rawInput.getDeviceList, nullptr);
    EXPECT_NE(g_library.rawInput.getDeviceInfo, nullptr);

    WNDCLASSEXA boxClass = {};
    boxClass.cbSize = sizeof boxClass;
    ASSERT_TRUE(GetClassInfoExA(g_library.module, kConfigBoxClassName, &boxClass));
    EXPECT_EQ(boxClass.style, static_cast<UINT>(CS_HREDRAW | CS_VREDRAW));
    EXPECT_EQ(boxClass.lpfnWndProc, ConfigBoxWindowProc);
    EXPECT_EQ(boxClass.cbClsExtra, 0);
    EXPECT_EQ(boxClass.cbWndExtra, static_cast<int>(sizeof(void*)));
    EXPECT_EQ(boxClass.hCursor, LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW)));
    EXPECT_EQ(boxClass.hIcon, nullptr);
    EXPECT_EQ(boxClass.hbrBackground, nullptr);
    EXPECT_EQ(boxClass.lpszMenuName, nullptr);
}

TEST_F(LibraryLifecycle, SecondInitWithoutEndFailsAtTheClassAndLeaksNothing) {
    ASSERT_EQ(QP240REMOTE_Init(nullptr), 0);
    const HBITMAP picture = g_keypadPicture;
    const int32_t toolkitCount = g_drawing.referenceCount;
    EXPECT_EQ(QP240REMOTE_Init(nullptr), QP240REMOTE_E_BOX_CLASS);
    // The held picture is kept rather than loaded a second time, and the
    // toolkit is not started again.
    EXPECT_EQ(g_keypadPicture, picture);
    EXPECT_EQ(g_drawing.referenceCount, toolkitCount);
}

TEST_F(LibraryLifecycle, EndReleasesWhatInitMadeAndKeepsTheRest) {
    ASSERT_EQ(QP240REMOTE_Init(nullptr), 0);
    const HBITMAP picture = g_keypadPicture;
    g_libraryDefaults = LibraryDefaults{1, 9, 0};
    EXPECT_EQ(QP240REMOTE_End(), 0);

    WNDCLASSEXA boxClass = {};
    boxClass.cbSize = sizeof boxClass;
    EXPECT_FALSE(GetClassInfoExA(g_library.module, kConfigBoxClassName, &boxClass));
    EXPECT_EQ(g_keypadPicture, nullptr);
    EXPECT_EQ(GetObjectType(picture), 0u) << "the picture was not deleted";
    EXPECT_EQ(g_drawing.referenceCount, 0);

    // The mark, the raw-input functions and the defaults survive: a Create
    // after End still makes an instance with those defaults.
    void* instance = QP240REMOTE_Create(IgnoringCallback, 0);
    ASSERT_NE(instance, nullptr);
    QP240REMOTE_Context context = {};
    ASSERT_EQ(QP240REMOTE_GetContext(instance, &context), 0);
    EXPECT_EQ(context.keyMode, 1);
    EXPECT_EQ(context.midiChannel, 9);
    EXPECT_EQ(QP240REMOTE_Destroy(instance), 0);

    // An Init after End runs all its steps again.
    EXPECT_EQ(QP240REMOTE_Init(nullptr), 0);
    EXPECT_NE(g_keypadPicture, nullptr);
}

TEST_F(LibraryLifecycle, EndWithoutInitLeavesTheToolkitCountAtZero) {
    EXPECT_EQ(QP240REMOTE_End(), 0);
    EXPECT_EQ(QP240REMOTE_End(), 0);
    EXPECT_EQ(g_drawing.referenceCount, 0);
    ASSERT_EQ(QP240REMOTE_Init(nullptr), 0);
    EXPECT_EQ(g_drawing.referenceCount, 1);
}

TEST_F(LibraryLifecycle, AfterAnInitThatFailedAtTheToolkitEndAndInitLeaveAWorkingToolkit) {
    // The list-view class is taken: the toolkit cannot start.
    WNDCLASSA taken = {};
    taken.lpfnWndProc = DefWindowProcA;
    taken.hInstance = g_library.module;
    taken.lpszClassName = MLV_CLASS_NAME;
    ASSERT_NE(RegisterClassA(&taken), 0);
    EXPECT_EQ(QP240REMOTE_Init(nullptr), QP240REMOTE_E_TOOLKIT);
    ASSERT_TRUE(UnregisterClassA(MLV_CLASS_NAME, g_library.module));
    EXPECT_EQ(QP240REMOTE_End(), 0);
    EXPECT_EQ(g_drawing.referenceCount, 0);

    ASSERT_EQ(QP240REMOTE_Init(nullptr), 0);
    EXPECT_EQ(g_drawing.referenceCount, 1);
    for (int i = 0; i < kPaletteSize; ++i) {
        EXPECT_NE(g_drawing.brushes[i], nullptr) << i;
        EXPECT_NE(g_drawing.pens[i], nullptr) << i;
    }
    EXPECT_NE(g_drawing.dashDotPen, nullptr);
    for (int i = 0; i < kFontCount; ++i)
        EXPECT_NE(g_drawing.fonts[i], nullptr) << i;
    WNDCLASSA listView = {};
    ASSERT_TRUE(GetClassInfoA(g_library.module, MLV_CLASS_NAME, &listView));
    EXPECT_EQ(listView.lpfnWndProc, ListViewWindowProc);
    EXPECT_EQ(QP240REMOTE_End(), 0);
    EXPECT_EQ(g_drawing.referenceCount, 0);
}

TEST_F(LibraryLifecycle, MissingRawInputFunctionMakesCreateRefuseSilently) {
    ASSERT_EQ(QP240REMOTE_Init(nullptr), 0);
    g_library.rawInput.getDeviceInfo = nullptr;
    EXPECT_EQ(QP240REMOTE_Create(IgnoringCallback, 0), nullptr);
    EXPECT_STREQ(QP240REMOTE_GetLastErrorString(), ErrorTextAtLoad());
}

TEST_F(LibraryLifecycle, ProcessAttachModuleWinsOverInitsArgument) {
    const HMODULE recorded = g_library.module;
    ASSERT_EQ(QP240REMOTE_Init(reinterpret_cast<HMODULE>(0x1234)), 0);
    EXPECT_EQ(g_library.module, recorded);
}

TEST_F(LibraryLifecycle, PlugInformationNeedsNoInit) {
    uint8_t block[QP240REMOTE_PLUG_INFORMATION_SIZE] = {};
    EXPECT_EQ(QP240REMOTE_GetPlugInformation(1, block), 0);
    EXPECT_EQ(0, std::memcmp(block + 0x620, kProfile.guid, 16));
    EXPECT_EQ(QP240REMOTE_GetPlugInformation(QP240REMOTE_E_NULL_OUT, block),
              QP240REMOTE_E_BAD_INDEX);
    EXPECT_EQ(QP240REMOTE_GetPlugInformation(2, nullptr), QP240REMOTE_E_BAD_INDEX);
}

}  // namespace
