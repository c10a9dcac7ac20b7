// The host's status block through the real DLLs, and the rule that nothing is
// allocated on the report path or in a polling pass.
#include <cstring>

#include "include/qp240_remote.h"
#include "tests/e2e/engine_support.h"
#include "tools/host_simulator/heap_watch.h"

namespace {

// The mark of the block behind the pointer handed with code 151 once all 43
// words agree on it, waiting up to a few polling passes.
bool BlockShows(SimulatedHost* host, int32_t mark) {
    const DWORD start = GetTickCount();
    for (;;) {
        bool whole = true;
        for (size_t i = 0; i < QP240REMOTE_HOST_STATUS_SIZE / sizeof(int32_t); ++i)
            whole = whole && host->statusBlock[i] == mark;
        if (whole)
            return true;
        if (GetTickCount() - start > kEventTimeoutMs)
            return false;
        Sleep(2);
    }
}

void StatusBlockThroughThePointerOf151(DriverUnderTest& d) {
    SimulatedDevicePlug(KeypadDevice(d.family->productIds[0]));
    SimulatedHost host;
    CreateInstance(d, &host, d.family->deliverableName);
    int32_t block[QP240REMOTE_HOST_STATUS_SIZE / sizeof(int32_t)] = {};
    // Not started: taken and kept for later; wrong sizes ignored; a null
    // block of the right size refused.
    EXPECT_EQ(d.driver.SetGetInformations(host.instance, QP240REMOTE_INFO_HOST_STATUS, block,
                                          QP240REMOTE_HOST_STATUS_SIZE),
              QP240REMOTE_OK);
    EXPECT_EQ(d.driver.SetGetInformations(host.instance, QP240REMOTE_INFO_HOST_STATUS, block,
                                          QP240REMOTE_HOST_STATUS_SIZE - 1),
              QP240REMOTE_OK);
    EXPECT_EQ(d.driver.SetGetInformations(host.instance, QP240REMOTE_INFO_HOST_STATUS, block,
                                          QP240REMOTE_HOST_STATUS_SIZE + 1),
              QP240REMOTE_OK);
    EXPECT_EQ(d.driver.SetGetInformations(host.instance, QP240REMOTE_INFO_HOST_STATUS, nullptr,
                                          QP240REMOTE_HOST_STATUS_SIZE),
              QP240REMOTE_E_NULL_DATA);

    ASSERT_TRUE(SimulatedHostStartAndConnect(&host, kConnectTimeoutMs));
    const SimulatedHostCall fill =
        SimulatedHostCallsWith(&host, QP240REMOTE_CODE_FILL_STATUS).at(0);
    EXPECT_EQ(fill.argument, QP240REMOTE_HOST_STATUS_SIZE);
    ASSERT_EQ(static_cast<void*>(host.statusBlock), fill.pointer);
    const int32_t filled = host.statusBlock[0];
    EXPECT_TRUE(BlockShows(&host, filled));

    int32_t mark = 0;
    ASSERT_EQ(SimulatedHostSendStatus(&host, &mark), QP240REMOTE_OK);
    EXPECT_TRUE(BlockShows(&host, mark)) << "the newest block reaches the instance";
    for (int i = 0; i < 3; ++i)
        SimulatedHostSendStatus(&host, &mark);
    EXPECT_TRUE(BlockShows(&host, mark));
    d.driver.Stop(host.instance);
    DestroyInstance(d, &host);
}

TEST_F(BothDrivers, StatusBlocksReachTheBlockHandedWithCode151) {
    ForBothAtOnce(StatusBlockThroughThePointerOf151);
}

// Reports, status blocks and context changes for a while, about one polling
// pass per round.
void ReadTheKeypadForAWhile(DriverUnderTest& d, SimulatedHost* host) {
    for (int32_t round = 0; round < 40; ++round) {
        for (int32_t key = 0; key < d.family->keyCount; key += 3)
            SimulatedHostSetKey(host, key, round % 2 == 0);
        SimulatedHostSendStatus(host, nullptr);
        const QP240REMOTE_Context context = {round % 2, round % 16, round % 3};
        d.driver.SetContext(host->instance, &context, sizeof context);
        Sleep(12);
    }
    Sleep(100);
}

TEST_F(BothDrivers, NothingIsAllocatedOnTheReportPathOrInPollingPasses) {
    SimulatedHost hosts[kKeypadFamilyCount];
    for (int i = 0; i < kKeypadFamilyCount; ++i) {
        ASSERT_TRUE(HeapWatchInstall(drivers[i].driver.module));
        SimulatedDevicePlug(KeypadDevice(drivers[i].family->productIds[0]));
        CreateInstance(drivers[i], &hosts[i], drivers[i].family->deliverableName);
    }
    // The watch sees the drivers' own allocations: the device lists of the
    // first detection passes.
    HeapWatchResetCount();
    HeapWatchArm(true);
    for (int i = 0; i < kKeypadFamilyCount; ++i)
        ASSERT_EQ(drivers[i].driver.Start(hosts[i].instance), QP240REMOTE_OK);
    for (SimulatedHost& host : hosts)
        ASSERT_TRUE(SimulatedHostWaitFor(&host, QP240REMOTE_CODE_CONNECTED, 1, kConnectTimeoutMs));
    EXPECT_GE(HeapWatchAllocations(), 2);

    // Connected from here on: only the report path and polling passes run.
    HeapWatchResetCount();
    const size_t from[kKeypadFamilyCount] = {SimulatedHostCalls(&hosts[0]).size(),
                                             SimulatedHostCalls(&hosts[1]).size()};
    ForBothAtOnce([&](DriverUnderTest& d) { ReadTheKeypadForAWhile(d, &hosts[&d - drivers]); });
    EXPECT_EQ(HeapWatchAllocations(), 0);
    HeapWatchArm(false);
    for (int i = 0; i < kKeypadFamilyCount; ++i) {
        EXPECT_GT(KeyEvents(&hosts[i], from[i]).size(), 40u);
        drivers[i].driver.Stop(hosts[i].instance);
        DestroyInstance(drivers[i], &hosts[i]);
    }
}

}  // namespace
