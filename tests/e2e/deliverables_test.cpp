// Both real DLLs, loaded as a host loads them and driven through their exports.
#include <cstdio>
#include <cstring>
#include <string>

#include <gtest/gtest.h>

#include "driver/variant_profile.h"
#include "driver/version.h"
#include "include/qp240_remote.h"
#include "tests/e2e/e2e_support.h"

namespace {

TEST_P(EachDeliverable, VersionRecordAndKeypadPictureAreInTheFile) {
    const VariantProfile& profile = *GetParam();
    const std::string path = DeliverablePath(profile);
    DWORD ignored = 0;
    const DWORD size = GetFileVersionInfoSizeA(path.c_str(), &ignored);
    ASSERT_GT(size, 0u);
    std::string data(size, '\0');
    ASSERT_TRUE(GetFileVersionInfoA(path.c_str(), 0, size, &data[0]));

    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT fixedSize = 0;
    ASSERT_TRUE(VerQueryValueA(&data[0], "\\", reinterpret_cast<void**>(&fixed), &fixedSize));
    const DWORD versionMS = KOLMAR_VERSION_MAJOR << 16 | KOLMAR_VERSION_MINOR;
    const DWORD versionLS = KOLMAR_VERSION_PATCH << 16 | KOLMAR_VERSION_TWEAK;
    EXPECT_EQ(fixed->dwFileVersionMS, versionMS);
    EXPECT_EQ(fixed->dwFileVersionLS, versionLS);
    EXPECT_EQ(fixed->dwProductVersionMS, versionMS);
    EXPECT_EQ(fixed->dwProductVersionLS, versionLS);

    const std::string name = profile.deliverableName;
    const struct {
        const char* key;
        std::string value;
    } strings[] = {{"FileVersion", KOLMAR_VERSION_TEXT},
                   {"ProductVersion", KOLMAR_VERSION_TEXT},
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
    EXPECT_EQ(bitmap.bmWidth, profile.pictureWidth);
    EXPECT_EQ(bitmap.bmHeight, profile.pictureHeight);
    EXPECT_EQ(bitmap.bmBitsPixel, 24);
    DeleteObject(picture);
    FreeLibrary(module);
}

TEST_P(EachDeliverable, PlugInformationNamesTheDeliverable) {
    const VariantProfile& profile = *GetParam();
    uint8_t block[QP240REMOTE_PLUG_INFORMATION_SIZE + 16];
    std::memset(block, 0xCC, sizeof block);
    ASSERT_EQ(d.GetPlugInformation(1, block), 0);
    EXPECT_STREQ(reinterpret_cast<const char*>(block), profile.modelName);
    EXPECT_STREQ(reinterpret_cast<const char*>(block + 0x180), profile.moduleName);
    EXPECT_EQ(0, std::memcmp(block + 0x620, profile.guid, 16));
    for (size_t i = QP240REMOTE_PLUG_INFORMATION_SIZE; i < sizeof block; ++i)
        ASSERT_EQ(block[i], 0xCC) << "written past the block at " << i;

    char text[43 + 8];
    std::memset(text, 0xCC, sizeof text);
    ASSERT_EQ(d.GetPlugInformation(0, text), 0);
    EXPECT_STREQ(text, "Lorendel QP240 Remote Driver Architecture ");
    EXPECT_EQ(static_cast<uint8_t>(text[43]), 0xCC);
    EXPECT_EQ(d.GetPlugInformation(0, nullptr), QP240REMOTE_E_NULL_OUT);
    EXPECT_EQ(d.GetPlugInformation(1, nullptr), QP240REMOTE_E_NULL_OUT);
    EXPECT_EQ(d.GetPlugInformation(2, nullptr), QP240REMOTE_E_BAD_INDEX);
}

TEST_P(EachDeliverable, CreateBeforeInitFailsThenAWholeLifecycleRuns) {
    const VariantProfile& profile = *GetParam();
    EXPECT_STREQ(d.GetLastErrorString(), "no-error");
    EXPECT_EQ(d.Create(IgnoringCallback, 0), nullptr);
    EXPECT_STREQ(d.GetLastErrorString(), "Library is not initialized");

    ASSERT_EQ(d.Init(d.module), 0);
    void* instance = d.Create(IgnoringCallback, 0);
    ASSERT_NE(instance, nullptr);
    EXPECT_EQ(0, std::memcmp(instance, profile.guid, 16));
    // A later success leaves the text in place.
    EXPECT_STREQ(d.GetLastErrorString(), "Library is not initialized");
    EXPECT_EQ(d.GetDriverStatus(instance), 0);
    EXPECT_EQ(d.Start(instance), 0);
    EXPECT_EQ(d.GetDriverStatus(instance), 1);
    EXPECT_EQ(d.Stop(instance), 0);
    EXPECT_EQ(d.GetDriverStatus(instance), 0);
    EXPECT_EQ(d.Destroy(instance), 0);
    EXPECT_EQ(d.End(), 0);
}

KOLMAR_FOR_BOTH_DELIVERABLES(EachDeliverable);

// Both deliverables in one host process.
class BothDeliverables : public ::testing::Test {
  protected:
    void SetUp() override {
        StartFromCleanState();
        char error[512];
        ASSERT_TRUE(
            DeliverableLoad(&keys32, DeliverablePath(kProfile32Keys).c_str(), error, sizeof error))
            << error;
        ASSERT_TRUE(
            DeliverableLoad(&keys15, DeliverablePath(kProfile15Keys).c_str(), error, sizeof error))
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
    ASSERT_EQ(keys32.Init(keys32.module), 0);
    ASSERT_EQ(keys15.Init(keys15.module), 0);
    void* instance32 = keys32.Create(IgnoringCallback, 0);
    void* instance15 = keys15.Create(IgnoringCallback, 0);
    ASSERT_NE(instance32, nullptr);
    ASSERT_NE(instance15, nullptr);

    // The 15-key record is shorter than the 32-key one; each must still fail
    // on the GUID, not crash, and leave the error text alone.
    EXPECT_EQ(keys32.GetContextSize(instance15), QP240REMOTE_E_BAD_HANDLE);
    EXPECT_EQ(keys15.GetContextSize(instance32), QP240REMOTE_E_BAD_HANDLE);
    EXPECT_EQ(keys32.Start(instance15), QP240REMOTE_E_BAD_HANDLE);
    EXPECT_EQ(keys15.GetDriverStatus(instance32), 0);
    EXPECT_EQ(keys15.Destroy(instance32), QP240REMOTE_E_BAD_HANDLE);
    EXPECT_STREQ(keys32.GetLastErrorString(), "no-error");
    EXPECT_STREQ(keys15.GetLastErrorString(), "no-error");

    EXPECT_EQ(keys32.Destroy(instance32), 0);
    EXPECT_EQ(keys15.Destroy(instance15), 0);
    keys32.End();
    keys15.End();
}

}  // namespace
