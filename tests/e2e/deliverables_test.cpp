// Both real DLLs, loaded as a host loads them and driven through their exports.
#include <cstdio>
#include <cstring>
#include <string>

#include <gtest/gtest.h>

#include "include/qp240_remote.h"
#include "tests/e2e/e2e_support.h"
#include "tools/host_simulator/keypad_families.h"

namespace {

TEST_P(EachDeliverable, VersionRecordAndKeypadPictureAreInTheFile) {
    const KeypadFamily& family = *GetParam();
    const std::string path = DeliverablePath(family);
    DWORD ignored = 0;
    const DWORD size = GetFileVersionInfoSizeA(path.c_str(), &ignored);
    ASSERT_GT(size, 0u);
    std::string data(size, '\0');
    ASSERT_TRUE(GetFileVersionInfoA(path.c_str(), 0, size, &data[0]));

    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT fixedSize = 0;
    ASSERT_TRUE(VerQueryValueA(&data[0], "\\", reinterpret_cast<void**>(&fixed), &fixedSize));
    // The project version the build was made from.
    const unsigned version[4] = {KOLMAR_PROJECT_VERSION};
    const DWORD versionMS = version[0] << 16 | version[1];
    const DWORD versionLS = version[2] << 16 | version[3];
    EXPECT_EQ(fixed->dwFileVersionMS, versionMS);
    EXPECT_EQ(fixed->dwFileVersionLS, versionLS);
    EXPECT_EQ(fixed->dwProductVersionMS, versionMS);
    EXPECT_EQ(fixed->dwProductVersionLS, versionLS);

    const std::string name = family.deliverableName;
    char versionText[48];
    std::snprintf(versionText, sizeof versionText, "%u, %u, %u, %u", version[0], version[1],
                  version[2], version[3]);
    const struct {
        const char* key;
        std::string value;
    } strings[] = {{"FileVersion", versionText},
                   {"ProductVersion", versionText},
                   {"FileDescription", "Lorendel Remote Driver Dll for QP240"},
                   {"InternalName", name},
                   {"ProductName", name},
                   {"OriginalFilename", name + ".DLL"}};
    for (const auto& entry : strings) {
        char query[128];
        std::snprintf(query, sizeof query, "\\StringFileInfo\\040904b0\\%s", entry.key);
        char* value = nullptr;
        UINT length = 0;
        ASSERT_TRUE(VerQueryValueA(&data[0], query, reinterpret_cast<void**>(&value), &length))
            << entry.key;
        EXPECT_EQ(std::string(value), entry.value) << entry.key;
    }

    HMODULE module = LoadLibraryExA(path.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_NE(module, nullptr);
    HBITMAP picture =
        static_cast<HBITMAP>(LoadImageA(module, MAKEINTRESOURCEA(QP240REMOTE_KEYPAD_PICTURE_ID),
                                        IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION));
    ASSERT_NE(picture, nullptr);
    BITMAP bitmap = {};
    GetObjectA(picture, sizeof bitmap, &bitmap);
    EXPECT_EQ(bitmap.bmWidth, family.pictureWidth);
    EXPECT_EQ(bitmap.bmHeight, family.pictureHeight);
    EXPECT_EQ(bitmap.bmBitsPixel, 24);
    DeleteObject(picture);
    FreeLibrary(module);
}

TEST_P(EachDeliverable, PlugInformationNamesTheDeliverable) {
    const KeypadFamily& family = *GetParam();
    uint8_t block[QP240REMOTE_PLUG_INFORMATION_SIZE + 16];
    std::memset(block, 0xCC, sizeof block);
    ASSERT_EQ(d.GetPlugInformation(QP240REMOTE_PLUG_INFORMATION, block), QP240REMOTE_OK);
    EXPECT_STREQ(reinterpret_cast<const char*>(block + QP240REMOTE_PLUG_MODEL_OFFSET),
                 family.modelName);
    EXPECT_STREQ(reinterpret_cast<const char*>(block + QP240REMOTE_PLUG_MODULE_OFFSET),
                 family.moduleName);
    char guid[kBracedGuidSize];
    FormatGuid(block + QP240REMOTE_PLUG_GUID_OFFSET, guid);
    EXPECT_STREQ(guid, family.guid);
    for (size_t i = QP240REMOTE_PLUG_INFORMATION_SIZE; i < sizeof block; ++i)
        ASSERT_EQ(block[i], 0xCC) << "written past the block at " << i;

    char text[QP240REMOTE_ARCHITECTURE_TEXT_SIZE + 8];
    std::memset(text, 0xCC, sizeof text);
    ASSERT_EQ(d.GetPlugInformation(QP240REMOTE_PLUG_ARCHITECTURE_TEXT, text), QP240REMOTE_OK);
    EXPECT_STREQ(text, "Lorendel QP240 Remote Driver Architecture ");
    EXPECT_EQ(static_cast<uint8_t>(text[QP240REMOTE_ARCHITECTURE_TEXT_SIZE]), 0xCC);
    EXPECT_EQ(d.GetPlugInformation(QP240REMOTE_PLUG_ARCHITECTURE_TEXT, nullptr),
              QP240REMOTE_E_NULL_OUT);
    EXPECT_EQ(d.GetPlugInformation(QP240REMOTE_PLUG_INFORMATION, nullptr), QP240REMOTE_E_NULL_OUT);
    EXPECT_EQ(d.GetPlugInformation(QP240REMOTE_PLUG_INFORMATION + 1, nullptr),
              QP240REMOTE_E_BAD_INDEX);
}

TEST_P(EachDeliverable, CreateBeforeInitFailsThenAWholeLifecycleRuns) {
    const KeypadFamily& family = *GetParam();
    EXPECT_STREQ(d.GetLastErrorString(), kErrorTextAtLoad);
    EXPECT_EQ(d.Create(IgnoringCallback, 0), nullptr);
    EXPECT_STREQ(d.GetLastErrorString(), kErrorTextNotInitialized);

    ASSERT_EQ(d.Init(d.module), QP240REMOTE_OK);
    void* instance = d.Create(IgnoringCallback, 0);
    ASSERT_NE(instance, nullptr);
    char guid[kBracedGuidSize];
    FormatGuid(static_cast<const uint8_t*>(instance), guid);
    EXPECT_STREQ(guid, family.guid);
    // A later success leaves the text in place.
    EXPECT_STREQ(d.GetLastErrorString(), kErrorTextNotInitialized);
    EXPECT_EQ(d.GetDriverStatus(instance), QP240REMOTE_DRIVER_NOT_STARTED);
    EXPECT_EQ(d.Start(instance), QP240REMOTE_OK);
    EXPECT_EQ(d.GetDriverStatus(instance), QP240REMOTE_DRIVER_DETECTING);
    EXPECT_EQ(d.Stop(instance), QP240REMOTE_OK);
    EXPECT_EQ(d.GetDriverStatus(instance), QP240REMOTE_DRIVER_NOT_STARTED);
    EXPECT_EQ(d.Destroy(instance), QP240REMOTE_OK);
    EXPECT_EQ(d.End(), QP240REMOTE_OK);
}

KOLMAR_FOR_BOTH_DELIVERABLES(EachDeliverable);

// Both deliverables in one host process.
class BothDeliverables : public ::testing::Test {
  protected:
    void SetUp() override {
        StartFromCleanState();
        char error[512];
        ASSERT_TRUE(
            DeliverableLoad(&keys32, DeliverablePath(kFamily32Keys).c_str(), error, sizeof error))
            << error;
        ASSERT_TRUE(
            DeliverableLoad(&keys15, DeliverablePath(kFamily15Keys).c_str(), error, sizeof error))
            << error;
    }
    void TearDown() override {
        DeliverableUnload(&keys32);
        DeliverableUnload(&keys15);
    }
    Deliverable keys32 = {};
    Deliverable keys15 = {};
};

TEST_F(BothDeliverables, EachRefusesTheOthersInstance) {
    ASSERT_EQ(keys32.Init(keys32.module), QP240REMOTE_OK);
    ASSERT_EQ(keys15.Init(keys15.module), QP240REMOTE_OK);
    void* instance32 = keys32.Create(IgnoringCallback, 0);
    void* instance15 = keys15.Create(IgnoringCallback, 0);
    ASSERT_NE(instance32, nullptr);
    ASSERT_NE(instance15, nullptr);

    // The 15-key record is shorter than the 32-key one; each must still fail
    // on the GUID, not crash, and leave the error text alone.
    EXPECT_EQ(keys32.GetContextSize(instance15), QP240REMOTE_E_BAD_HANDLE);
    EXPECT_EQ(keys15.GetContextSize(instance32), QP240REMOTE_E_BAD_HANDLE);
    EXPECT_EQ(keys32.Start(instance15), QP240REMOTE_E_BAD_HANDLE);
    EXPECT_EQ(keys15.GetDriverStatus(instance32), QP240REMOTE_DRIVER_NOT_STARTED);
    EXPECT_EQ(keys15.Destroy(instance32), QP240REMOTE_E_BAD_HANDLE);
    EXPECT_STREQ(keys32.GetLastErrorString(), kErrorTextAtLoad);
    EXPECT_STREQ(keys15.GetLastErrorString(), kErrorTextAtLoad);

    EXPECT_EQ(keys32.Destroy(instance32), QP240REMOTE_OK);
    EXPECT_EQ(keys15.Destroy(instance15), QP240REMOTE_OK);
    keys32.End();
    keys15.End();
}

}  // namespace
