// Start, Stop, the driver status, the context calls, the box calls and the
// data dispatch of one instance.
#include <cstring>

#include <gtest/gtest.h>

#include "config/settings.h"
#include "include/qp240_remote.h"
#include "tests/windows/support/driver_test_support.h"
#include "tests/windows/support/linked_driver.h"
#include "tools/host_simulator/simulated_host.h"

namespace {

class InstanceCalls : public ::testing::Test {
  protected:
    void SetUp() override {
        ResetLibraryState();
        ASSERT_EQ(QP240REMOTE_Init(nullptr), 0);
        SimulatedHostInit(&host, &driver, "host");
        instance = QP240REMOTE_Create(SimulatedHostCallback, reinterpret_cast<intptr_t>(&host));
        ASSERT_NE(instance, nullptr);
    }
    void TearDown() override {
        if (instance != nullptr) {
            EXPECT_EQ(QP240REMOTE_Destroy(instance), 0);
        }
        if (parent != nullptr)
            DestroyWindow(parent);
        SimulatedHostFree(&host);
        ResetLibraryState();
    }
    HWND MakeParent() {
        parent = CreateWindowExA(0, "STATIC", "host", WS_OVERLAPPEDWINDOW, 0, 0, 640, 400, nullptr,
                                 nullptr, nullptr, nullptr);
        return parent;
    }
    Deliverable driver = LinkedDriver();
    SimulatedHost host;
    void* instance = nullptr;
    HWND parent = nullptr;
};

TEST_F(InstanceCalls, StartAndStopAnswerOnceEachAndTheStatusFollows) {
    EXPECT_EQ(QP240REMOTE_Stop(instance), 1);
    EXPECT_EQ(QP240REMOTE_GetDriverStatus(instance), 0);
    EXPECT_EQ(QP240REMOTE_Start(instance), 0);
    EXPECT_EQ(QP240REMOTE_Start(instance), 1);
    EXPECT_EQ(QP240REMOTE_GetDriverStatus(instance), 1);
    EXPECT_EQ(QP240REMOTE_Stop(instance), 0);
    EXPECT_EQ(QP240REMOTE_Stop(instance), 1);
    EXPECT_EQ(QP240REMOTE_GetDriverStatus(instance), 0);

    // A run is framed by the worker's first and last calls, all on one thread
    // that is not the caller's.
    const std::vector<SimulatedHostCall> calls = SimulatedHostCalls(&host);
    ASSERT_GE(calls.size(), 2u);
    EXPECT_EQ(calls.front().code, QP240REMOTE_CODE_WORKER_BEGINS);
    EXPECT_EQ(calls.back().code, QP240REMOTE_CODE_WORKER_ENDS);
    for (const SimulatedHostCall& call : calls) {
        EXPECT_EQ(call.threadId, calls.front().threadId);
        EXPECT_NE(call.threadId, GetCurrentThreadId());
    }

    // A second run starts a new worker.
    EXPECT_EQ(QP240REMOTE_Start(instance), 0);
    EXPECT_EQ(QP240REMOTE_Stop(instance), 0);
    EXPECT_EQ(SimulatedHostCodes(&host).back(), QP240REMOTE_CODE_WORKER_ENDS);
}

TEST_F(InstanceCalls, ContextRoundTripsTwelveBytesWithoutRangeChecks) {
    EXPECT_EQ(QP240REMOTE_GetContextSize(instance), 12);

    const QP240REMOTE_Context wild = {7, 200, -3};
    EXPECT_EQ(QP240REMOTE_SetContext(instance, &wild, 12), 0);
    // The record with room behind it, which GetContext must leave alone.
    struct {
        QP240REMOTE_Context context;
        uint8_t after[4];
    } out;
    std::memset(&out, 0xCC, sizeof out);
    EXPECT_EQ(QP240REMOTE_GetContext(instance, &out.context), 0);
    EXPECT_EQ(0, std::memcmp(&out.context, &wild, 12));
    for (size_t i = 0; i < sizeof out.after; ++i)
        EXPECT_EQ(out.after[i], 0xCC) << "written past the context at " << 12 + i;
    EXPECT_EQ(QP240REMOTE_GetContext(instance, nullptr), QP240REMOTE_E_NULL_CONTEXT);
}

TEST_F(InstanceCalls, SetContextRefusesNullBeforeSizeAndChangesNothingOnRefusal) {
    const QP240REMOTE_Context before = {1, 4, 0};
    ASSERT_EQ(QP240REMOTE_SetContext(instance, &before, 12), 0);
    const QP240REMOTE_Context other = {0, 9, 2};
    EXPECT_EQ(QP240REMOTE_SetContext(instance, nullptr, 11), QP240REMOTE_E_NULL_CONTEXT);
    EXPECT_EQ(QP240REMOTE_SetContext(instance, &other, 11), QP240REMOTE_E_CONTEXT_SIZE);
    EXPECT_EQ(QP240REMOTE_SetContext(instance, &other, 13), QP240REMOTE_E_CONTEXT_SIZE);
    QP240REMOTE_Context now = {};
    ASSERT_EQ(QP240REMOTE_GetContext(instance, &now), 0);
    EXPECT_EQ(0, std::memcmp(&now, &before, 12));
}

TEST_F(InstanceCalls, ResetContextTakesTheDefaultsOnlyForOne) {
    g_libraryDefaults = LibraryDefaults{1, 5, 0};
    const QP240REMOTE_Context set = {0, 2, 3};
    ASSERT_EQ(QP240REMOTE_SetContext(instance, &set, 12), 0);
    EXPECT_EQ(QP240REMOTE_ResetContext(instance, 0), 0);
    EXPECT_EQ(QP240REMOTE_ResetContext(instance, 2), 0);
    QP240REMOTE_Context now = {};
    ASSERT_EQ(QP240REMOTE_GetContext(instance, &now), 0);
    EXPECT_EQ(0, std::memcmp(&now, &set, 12));

    EXPECT_EQ(QP240REMOTE_ResetContext(instance, 1), 0);
    ASSERT_EQ(QP240REMOTE_GetContext(instance, &now), 0);
    EXPECT_EQ(now.keyMode, 1);
    EXPECT_EQ(now.midiChannel, 5);
    EXPECT_EQ(now.padBank, 0);
}

TEST_F(InstanceCalls, DataDispatchByIdentifier) {
    uint8_t block[QP240REMOTE_HOST_STATUS_SIZE] = {};
    EXPECT_EQ(QP240REMOTE_SetGetInformations(instance, 57, block, sizeof block),
              QP240REMOTE_E_BAD_ID);
    EXPECT_EQ(QP240REMOTE_SetGetInformations(instance, 0, nullptr, 0), QP240REMOTE_E_BAD_ID);
    EXPECT_EQ(QP240REMOTE_SetGetInformations(instance, QP240REMOTE_INFO_HOST_STATUS, block, 100),
              0);
    EXPECT_EQ(QP240REMOTE_SetGetInformations(instance, QP240REMOTE_INFO_HOST_STATUS, block,
                                             QP240REMOTE_HOST_STATUS_SIZE),
              0);
    // No keypad is connected, so a report is refused before the record is read.
    EXPECT_EQ(QP240REMOTE_SetGetInformations(instance, QP240REMOTE_INFO_INPUT_REPORT, nullptr, 0),
              QP240REMOTE_E_NOT_CONNECTED);
}

TEST_F(InstanceCalls, ConfigBoxOpensOnceMovesOnTheSecondOpenAndClosesOnce) {
    ASSERT_NE(MakeParent(), nullptr);
    EXPECT_EQ(QP240REMOTE_CloseConfigBox(instance), 1);
    EXPECT_EQ(QP240REMOTE_OpenConfigBox(instance, parent, 0, 0, 600, 300), 0);
    const HWND box = static_cast<DriverInstance*>(instance)->configBox.window;
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(GetParent(box), parent);
    EXPECT_TRUE(IsWindowVisible(box) || !IsWindowVisible(parent));

    EXPECT_EQ(QP240REMOTE_OpenConfigBox(instance, parent, 5, 6, 500, 290), 1);
    EXPECT_EQ(static_cast<DriverInstance*>(instance)->configBox.window, box);
    RECT rect = {};
    GetWindowRect(box, &rect);
    MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&rect), 2);
    EXPECT_EQ(rect.left, 5);
    EXPECT_EQ(rect.top, 6);
    EXPECT_EQ(rect.right - rect.left, 500);
    EXPECT_EQ(rect.bottom - rect.top, 290);

    EXPECT_EQ(QP240REMOTE_CloseConfigBox(instance), 0);
    EXPECT_FALSE(IsWindow(box));
    EXPECT_EQ(QP240REMOTE_CloseConfigBox(instance), 1);
}

TEST_F(InstanceCalls, DestroyOfAStartedInstanceWithABoxSavesItsSettingsForTheNext) {
    ASSERT_NE(MakeParent(), nullptr);
    ASSERT_EQ(QP240REMOTE_OpenConfigBox(instance, parent, 0, 0, 600, 300), 0);
    const HWND box = static_cast<DriverInstance*>(instance)->configBox.window;
    ASSERT_EQ(QP240REMOTE_Start(instance), 0);
    const QP240REMOTE_Context chosen = {1, 11, 4};
    ASSERT_EQ(QP240REMOTE_SetContext(instance, &chosen, 12), 0);

    EXPECT_EQ(QP240REMOTE_Destroy(instance), 0);
    instance = nullptr;
    EXPECT_FALSE(IsWindow(box));
    EXPECT_EQ(SimulatedHostCodes(&host).back(), QP240REMOTE_CODE_WORKER_ENDS);

    // Key mode and channel carry over; PadBank never does.
    instance = QP240REMOTE_Create(SimulatedHostCallback, reinterpret_cast<intptr_t>(&host));
    ASSERT_NE(instance, nullptr);
    QP240REMOTE_Context next = {};
    ASSERT_EQ(QP240REMOTE_GetContext(instance, &next), 0);
    EXPECT_EQ(next.keyMode, 1);
    EXPECT_EQ(next.midiChannel, 11);
    EXPECT_EQ(next.padBank, 0);
}

}  // namespace
