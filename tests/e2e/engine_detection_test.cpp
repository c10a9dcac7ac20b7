// What the real DLLs offer to the host, when, and how a run ends: decoys,
// refusals, a stop while snapshots wait, and a second run with the keypad
// gone.
#include <thread>
#include <vector>

#include "include/qp240_remote.h"
#include "tests/e2e/engine_support.h"

namespace {

TEST_F(BothDrivers, DecoysAndTheOtherFamilysKeypadAreNeverOffered) {
    SimulatedDevicesPlugDecoys();
    SimulatedHost hosts[kKeypadFamilyCount];
    for (int i = 0; i < kKeypadFamilyCount; ++i) {
        CreateInstance(drivers[i], &hosts[i], drivers[i].family->deliverableName);
        hosts[i].refusals = -1;
        ASSERT_EQ(drivers[i].driver.Start(hosts[i].instance), QP240REMOTE_OK);
    }
    Sleep(1300);  // a pass over decoys only
    for (SimulatedHost& host : hosts)
        EXPECT_EQ(SimulatedHostCount(&host, QP240REMOTE_CODE_OFFER_KEYPAD), 0) << host.label;

    // Each family's keypad last in the list, the other family's before it.
    const HANDLE keypad15 = SimulatedDevicePlug(KeypadDevice(kFamily15Keys.productIds[2]));
    const HANDLE keypad32 = SimulatedDevicePlug(KeypadDevice(kFamily32Keys.productIds[2]));
    const HANDLE expected[2] = {keypad32, keypad15};
    for (SimulatedHost& host : hosts)
        ASSERT_TRUE(
            SimulatedHostWaitFor(&host, QP240REMOTE_CODE_OFFER_KEYPAD, 2, 2 * kConnectTimeoutMs));
    for (int i = 0; i < kKeypadFamilyCount; ++i) {
        drivers[i].driver.Stop(hosts[i].instance);
        for (const SimulatedHostCall& offer :
             SimulatedHostCallsWith(&hosts[i], QP240REMOTE_CODE_OFFER_KEYPAD))
            EXPECT_EQ(offer.pointer, expected[i]) << hosts[i].label;
        DestroyInstance(drivers[i], &hosts[i]);
    }
}

void RefusedThenOfferedAgain(DriverUnderTest& d) {
    SimulatedDevicePlug(KeypadDevice(d.family->productIds[1]));
    SimulatedHost host;
    CreateInstance(d, &host, d.family->deliverableName);
    host.refusals = 1;
    ASSERT_EQ(d.driver.Start(host.instance), QP240REMOTE_OK);
    ASSERT_TRUE(SimulatedHostWaitFor(&host, QP240REMOTE_CODE_OFFER_KEYPAD, 1, kConnectTimeoutMs));
    EXPECT_EQ(d.driver.GetDriverStatus(host.instance), QP240REMOTE_DRIVER_DETECTING);
    ASSERT_TRUE(SimulatedHostWaitFor(&host, QP240REMOTE_CODE_CONNECTED, 1, kConnectTimeoutMs));
    EXPECT_EQ(d.driver.GetDriverStatus(host.instance), QP240REMOTE_DRIVER_CONNECTED);
    d.driver.Stop(host.instance);
    const std::vector<SimulatedHostCall> calls = SimulatedHostCalls(&host);
    ASSERT_EQ(SimulatedHostCodes(&host),
              (std::vector<int32_t>{QP240REMOTE_CODE_WORKER_BEGINS, QP240REMOTE_CODE_OFFER_KEYPAD,
                                    QP240REMOTE_CODE_NO_KEYPAD, QP240REMOTE_CODE_OFFER_KEYPAD,
                                    QP240REMOTE_CODE_FILL_STATUS, QP240REMOTE_CODE_CONNECTED,
                                    QP240REMOTE_CODE_CLOSE_KEYPAD, QP240REMOTE_CODE_NO_KEYPAD,
                                    QP240REMOTE_CODE_WORKER_ENDS}));
    EXPECT_EQ(calls[1].pointer, calls[3].pointer);
    const unsigned interval = calls[3].ms - calls[1].ms;
    EXPECT_GE(interval, 950u);
    EXPECT_LT(interval, 2000u) << "in the next pass";
    DestroyInstance(d, &host);
}

TEST_F(BothDrivers, ARefusedKeypadIsOfferedAgainASecondLater) {
    ForBothAtOnce(RefusedThenOfferedAgain);
}

// The host holds the worker in a pad event while reports keep coming; it
// stops the instance, lets the worker go, unplugs the keypad and runs again.
void StopWhileSnapshotsWaitThenRunWithoutTheKeypad(DriverUnderTest& d) {
    const HANDLE keypad = SimulatedDevicePlug(KeypadDevice(d.family->productIds[0]));
    SimulatedHost host;
    CreateInstance(d, &host, d.family->deliverableName);
    ASSERT_TRUE(SimulatedHostStartAndConnect(&host, kConnectTimeoutMs));
    host.blockCode = QP240REMOTE_CODE_PAD_PRESSED;
    ASSERT_EQ(SimulatedHostSetKey(&host, 0, true), QP240REMOTE_OK);
    ASSERT_TRUE(SimulatedHostWaitFor(&host, QP240REMOTE_CODE_PAD_PRESSED, 1, kEventTimeoutMs));
    for (int32_t key = 1; key <= 10; ++key)
        ASSERT_EQ(SimulatedHostSetKey(&host, key, true), QP240REMOTE_OK);

    std::thread stopper([&] { EXPECT_EQ(d.driver.Stop(host.instance), QP240REMOTE_OK); });
    const DWORD start = GetTickCount();
    while (d.driver.GetDriverStatus(host.instance) != QP240REMOTE_DRIVER_NOT_STARTED &&
           GetTickCount() - start < 2000)
        Sleep(1);
    SetEvent(host.release);
    stopper.join();
    host.blockCode = 0;
    EXPECT_EQ(SimulatedHostCount(&host, QP240REMOTE_CODE_PAD_PRESSED), 1)
        << "waiting snapshots dropped";
    EXPECT_EQ(SimulatedHostCallsWith(&host, QP240REMOTE_CODE_CLOSE_KEYPAD).at(0).pointer, keypad);

    SimulatedDeviceUnplug(keypad);
    const size_t before = SimulatedHostCalls(&host).size();
    ASSERT_EQ(d.driver.Start(host.instance), QP240REMOTE_OK);
    Sleep(1200);  // a detection pass finds nothing
    EXPECT_EQ(d.driver.Stop(host.instance), QP240REMOTE_OK);
    const std::vector<SimulatedHostCall> calls = SimulatedHostCalls(&host);
    ASSERT_EQ(calls.size(), before + 4);  // 50, 81, 70, 51
    EXPECT_EQ(calls[before + 1].code, QP240REMOTE_CODE_CLOSE_KEYPAD);
    EXPECT_EQ(calls[before + 1].pointer, nullptr) << "not the first run's handle";
    DestroyInstance(d, &host);
}

TEST_F(BothDrivers, StopWhileSnapshotsWaitThenASecondRunWithoutTheKeypad) {
    ForBothAtOnce(StopWhileSnapshotsWaitThenRunWithoutTheKeypad);
}

}  // namespace
