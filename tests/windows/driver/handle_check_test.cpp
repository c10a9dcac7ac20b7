// The handle check every instance export makes first, step by step.
#include <cstring>

#include <gtest/gtest.h>

#include "driver/handle_check.h"
#include "driver/library_state.h"
#include "include/qp240_remote.h"
#include "tests/windows/support/driver_test_support.h"
#include "tests/windows/support/linked_driver.h"

namespace {

std::vector<int32_t> CallEveryHandleExport(void* handle) {
    return ::CallEveryHandleExport(LinkedDriver(), handle);
}

const std::vector<int32_t>& kAllRefused = kEveryHandleExportRefused;

class HandleCheck : public ::testing::Test {
  protected:
    void SetUp() override {
        ResetLibraryState();
        ASSERT_EQ(QP240REMOTE_Init(nullptr), 0);
    }
    void TearDown() override { ResetLibraryState(); }
};

TEST_F(HandleCheck, NullUnreadableAndForeignHandlesAreRefusedWithoutErrorText) {
    EXPECT_EQ(CallEveryHandleExport(nullptr), kAllRefused);
    EXPECT_EQ(QP240REMOTE_Destroy(nullptr), QP240REMOTE_E_BAD_HANDLE);

    // A released page: nothing there can be read.
    void* page = VirtualAlloc(nullptr, 4096, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
    ASSERT_NE(page, nullptr);
    ASSERT_TRUE(VirtualFree(page, 0, MEM_RELEASE));
    EXPECT_EQ(CallEveryHandleExport(page), kAllRefused);
    EXPECT_EQ(QP240REMOTE_Destroy(page), QP240REMOTE_E_BAD_HANDLE);

    // Small integers, as a confused host might pass.
    EXPECT_EQ(CallEveryHandleExport(reinterpret_cast<void*>(16)), kAllRefused);

    // Readable zeros, and a created record of the other deliverable.
    alignas(16) uint8_t zeros[sizeof(DriverInstance)] = {};
    EXPECT_EQ(CallEveryHandleExport(zeros), kAllRefused);
    EXPECT_EQ(QP240REMOTE_Destroy(zeros), QP240REMOTE_E_BAD_HANDLE);
    const VariantProfile& other = KOLMAR_KEY_COUNT == 32 ? kProfile15Keys : kProfile32Keys;
    alignas(16) uint8_t foreign[sizeof(DriverInstance)] = {};
    std::memcpy(foreign, other.guid, 16);
    foreign[16] = kInstanceCreated;
    EXPECT_EQ(CallEveryHandleExport(foreign), kAllRefused);
    EXPECT_EQ(QP240REMOTE_Destroy(foreign), QP240REMOTE_E_BAD_HANDLE);

    EXPECT_STREQ(QP240REMOTE_GetLastErrorString(), ErrorTextAtLoad());
}

TEST_F(HandleCheck, TheWholeRecordMustBeReadableNotJustItsSignature) {
    // The signature and flags sit at the very end of a readable page, followed
    // by a page that cannot be read.
    uint8_t* pages = static_cast<uint8_t*>(
        VirtualAlloc(nullptr, 2 * 4096, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE));
    ASSERT_NE(pages, nullptr);
    DWORD previous = 0;
    ASSERT_TRUE(VirtualProtect(pages + 4096, 4096, PAGE_NOACCESS, &previous));
    uint8_t* record = pages + 4096 - 32;
    std::memcpy(record, kProfile.guid, 16);
    record[16] = kInstanceCreated;
    EXPECT_EQ(CheckHandle(record), kHandleBad);
    EXPECT_EQ(CallEveryHandleExport(record), kAllRefused);

    // The same bytes with the whole record readable pass the first three steps.
    uint8_t* whole = pages + 4096 - sizeof(DriverInstance);
    std::memmove(whole, record, 32);
    EXPECT_EQ(CheckHandle(whole), kHandleValid);
    VirtualFree(pages, 0, MEM_RELEASE);
}

TEST_F(HandleCheck, RecordWithoutCreatedBitRecordsObjectNotCreated) {
    void* instance = QP240REMOTE_Create(IgnoringCallback, 0);
    ASSERT_NE(instance, nullptr);
    static_cast<DriverInstance*>(instance)->engine.flags.store(0);

    // GetDriverStatus answers 0 and leaves the text alone.
    EXPECT_EQ(QP240REMOTE_GetDriverStatus(instance), 0);
    EXPECT_STREQ(QP240REMOTE_GetLastErrorString(), ErrorTextAtLoad());

    const std::vector<int32_t> results = CallEveryHandleExport(instance);
    EXPECT_EQ(results, kAllRefused);
    EXPECT_STREQ(QP240REMOTE_GetLastErrorString(), kErrorObjectNotCreated);

    // Destroy skips the created bit: it still frees the record.
    std::strcpy(g_library.lastErrorText, ErrorTextAtLoad());
    EXPECT_EQ(QP240REMOTE_Destroy(instance), 0);
    EXPECT_STREQ(QP240REMOTE_GetLastErrorString(), ErrorTextAtLoad());
}

TEST_F(HandleCheck, StaleHandleOfADestroyedInstanceIsRefusedNotFreedTwice) {
    void* instance = QP240REMOTE_Create(IgnoringCallback, 0);
    ASSERT_NE(instance, nullptr);
    ASSERT_EQ(QP240REMOTE_Destroy(instance), 0);
    // The freed block is still mapped in the heap: the handle must not pass.
    EXPECT_EQ(QP240REMOTE_Destroy(instance), QP240REMOTE_E_BAD_HANDLE);
    EXPECT_EQ(CallEveryHandleExport(instance), kAllRefused);
}

TEST_F(HandleCheck, CreatedInstanceCarriesTheGuidAndOnlyTheCreatedBit) {
    void* instance = QP240REMOTE_Create(IgnoringCallback, 0);
    ASSERT_NE(instance, nullptr);
    EXPECT_EQ(0, std::memcmp(instance, kProfile.guid, 16));
    EXPECT_EQ(static_cast<DriverInstance*>(instance)->engine.flags.load(), kInstanceCreated);
    EXPECT_EQ(CheckHandle(instance), kHandleValid);
    EXPECT_EQ(QP240REMOTE_Destroy(instance), 0);
}

}  // namespace
