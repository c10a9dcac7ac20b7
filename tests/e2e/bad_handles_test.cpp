// Every export that takes a handle, given handles a confused or buggy host
// might pass, through the real DLLs: no crash, -1 (GetDriverStatus 0), and
// the error text left alone.
#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "include/qp240_remote.h"
#include "tests/e2e/e2e_support.h"

namespace {

// Every export that takes a handle refuses `handle`, Destroy included.
void ExpectRefused(const Deliverable& d, void* handle, const std::string& what) {
    EXPECT_EQ(CallEveryHandleExport(d, handle), kEveryHandleExportRefused) << what;
    EXPECT_EQ(d.Destroy(handle), QP240REMOTE_E_BAD_HANDLE) << what;
}

class BadHandles : public EachDeliverable {};

TEST_P(BadHandles, AreRefusedAtEveryExport) {
    ASSERT_EQ(d.Init(d.module), QP240REMOTE_OK);
    void* live = d.Create(IgnoringCallback, 0);
    ASSERT_NE(live, nullptr);

    ExpectRefused(d, nullptr, "");
    for (uintptr_t small : {1u, 4u, 16u, 255u, 4096u, 65535u})
        ExpectRefused(d, reinterpret_cast<void*>(small), std::to_string(small));

    void* page = VirtualAlloc(nullptr, 65536, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
    ASSERT_NE(page, nullptr);
    ASSERT_TRUE(VirtualFree(page, 0, MEM_RELEASE));
    ExpectRefused(d, page, "unmapped");
    ExpectRefused(d, reinterpret_cast<void*>(~uintptr_t{0} - 64), "");

    std::vector<uint8_t> zeros(4096, 0);
    ExpectRefused(d, zeros.data(), "zeros");

    // A destroyed instance: its memory went back to the heap.
    void* destroyed = d.Create(IgnoringCallback, 0);
    ASSERT_NE(destroyed, nullptr);
    ASSERT_EQ(d.Destroy(destroyed), QP240REMOTE_OK);
    ExpectRefused(d, destroyed, "destroyed");

    // The live instance of this deliverable still works afterwards.
    EXPECT_EQ(d.GetContextSize(live), QP240REMOTE_CONTEXT_SIZE);
    EXPECT_STREQ(d.GetLastErrorString(), kErrorTextAtLoad);
    EXPECT_EQ(d.Destroy(live), QP240REMOTE_OK);
    d.End();
}

KOLMAR_FOR_BOTH_DELIVERABLES(BadHandles);

}  // namespace
