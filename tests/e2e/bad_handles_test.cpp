// Every export that takes a handle, given handles a confused or buggy host
// might pass, through the real DLLs: no crash, -1 (GetDriverStatus 0), and
// the error text left alone.
#include <cstring>
#include <vector>

#include <gtest/gtest.h>

#include "tests/e2e/e2e_support.h"

namespace {

// Calls every handle export with `handle`; GetDriverStatus last.
std::vector<int32_t> CallEveryHandleExport(const Deliverable& d, void* handle) {
    uint8_t context[12] = {};
    uint8_t record[64] = {};
    return {d.Start(handle),
            d.Stop(handle),
            d.GetContextSize(handle),
            d.GetContext(handle, context),
            d.SetContext(handle, context, sizeof context),
            d.ResetContext(handle, 1),
            d.OpenConfigBox(handle, nullptr, 0, 0, 10, 10),
            d.CloseConfigBox(handle),
            d.SetGetInformations(handle, 55, record, sizeof record),
            d.SetGetInformations(handle, 56, record, 172),
            d.SetGetInformations(handle, 99, record, 0),
            d.Destroy(handle),
            d.GetDriverStatus(handle)};
}

// Twelve exports answer -1; GetDriverStatus answers 0.
const std::vector<int32_t> kRefused = {-1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, 0};

class BadHandles : public EachDeliverable {};

TEST_P(BadHandles, AreRefusedAtEveryExport) {
    ASSERT_EQ(d.Init(d.module), 0);
    void* live = d.Create(IgnoringCallback, 0);
    ASSERT_NE(live, nullptr);

    EXPECT_EQ(CallEveryHandleExport(d, nullptr), kRefused);
    for (uintptr_t small : {1u, 4u, 16u, 255u, 4096u, 65535u})
        EXPECT_EQ(CallEveryHandleExport(d, reinterpret_cast<void*>(small)), kRefused) << small;

    void* page = VirtualAlloc(nullptr, 65536, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
    ASSERT_NE(page, nullptr);
    ASSERT_TRUE(VirtualFree(page, 0, MEM_RELEASE));
    EXPECT_EQ(CallEveryHandleExport(d, page), kRefused) << "unmapped";
    EXPECT_EQ(CallEveryHandleExport(d, reinterpret_cast<void*>(~uintptr_t{0} - 64)), kRefused);

    std::vector<uint8_t> zeros(4096, 0);
    EXPECT_EQ(CallEveryHandleExport(d, zeros.data()), kRefused) << "zeros";

    // A destroyed instance: its memory went back to the heap.
    void* destroyed = d.Create(IgnoringCallback, 0);
    ASSERT_NE(destroyed, nullptr);
    ASSERT_EQ(d.Destroy(destroyed), 0);
    EXPECT_EQ(CallEveryHandleExport(d, destroyed), kRefused) << "destroyed";

    // The live instance of this deliverable still works afterwards.
    EXPECT_EQ(d.GetContextSize(live), 12);
    EXPECT_STREQ(d.GetLastErrorString(), "no-error");
    EXPECT_EQ(d.Destroy(live), 0);
    d.End();
}

KOLMAR_FOR_BOTH_DELIVERABLES(BadHandles);

}  // namespace
