// The worker while connected: snapshots that wait when the host stops it, and
// the emptied ring of the next connection.
#include <cstring>
#include <thread>
#include <vector>

#include "include/qp240_remote.h"
#include "tests/windows/engine/worker_fixture.h"

namespace {

bool WaitForStatus(const Deliverable& driver, void* instance, int32_t status) {
    const DWORD start = GetTickCount();
    while (driver.GetDriverStatus(instance) != status)
        if (GetTickCount() - start > 2000)
            return false;
        else
            Sleep(1);
    return true;
}

TEST_F(WorkerTest, StopWhileSnapshotsWaitFinishesTheOneInHandAndTheNextRunStartsEmpty) {
    SimulatedDevicePlug(KeypadDevice(kKeypadProduct));
    SimulatedHost host;
    DriverInstance* instance = Create(&host, "host");
    ASSERT_TRUE(StartAndConnect(&host));

    // The host holds the worker in the first pad event while more snapshots
    // arrive, more than the ring holds.
    host.blockCode = QP240REMOTE_CODE_PAD_PRESSED;
    ASSERT_EQ(SimulatedHostSetKey(&host, 0, true), 0);
    ASSERT_TRUE(SimulatedHostWaitFor(&host, QP240REMOTE_CODE_PAD_PRESSED, 1, 1000));
    for (int32_t i = 0; i < 130; ++i)
        ASSERT_EQ(SimulatedHostSetKey(&host, 1 + i % 4, i % 2 == 0), 0);
    EXPECT_GT(instance->engine.reportQueue.refusedCount.load(), 0);

    std::thread stopper([&] { EXPECT_EQ(driver.Stop(host.instance), 0); });
    ASSERT_TRUE(WaitForStatus(driver, host.instance, 0));  // the run flag is down
    host.blockCode = 0;
    SetEvent(host.release);
    stopper.join();

    EXPECT_EQ(SimulatedHostCodes(&host),
              (std::vector<int32_t>{QP240REMOTE_CODE_WORKER_BEGINS, QP240REMOTE_CODE_OFFER_KEYPAD,
                                    QP240REMOTE_CODE_FILL_STATUS, QP240REMOTE_CODE_CONNECTED,
                                    QP240REMOTE_CODE_PAD_PRESSED, QP240REMOTE_CODE_CLOSE_KEYPAD,
                                    QP240REMOTE_CODE_NO_KEYPAD, QP240REMOTE_CODE_WORKER_ENDS}));
    EXPECT_EQ(SimulatedHostSetKey(&host, 0, false), kNoKeypadOpen);

    // The next connection starts with an empty ring and no refusals; the
    // snapshots that waited are never translated.
    ResetEvent(host.release);
    const size_t before = SimulatedHostCalls(&host).size();
    ASSERT_TRUE(StartAndConnect(&host));
    EXPECT_EQ(instance->engine.reportQueue.refusedCount.load(), 0);
    EXPECT_EQ(instance->engine.reportQueue.readIndex.load(),
              instance->engine.reportQueue.writeIndex.load());
    const uint8_t none[kMaxKeypadKeys] = {};
    ASSERT_EQ(SimulatedHostSetKeys(&host, none, kProfile.keyCount), 0);
    ASSERT_EQ(SimulatedHostSetKey(&host, 5, true), 0);
    ASSERT_TRUE(SimulatedHostWaitFor(&host, QP240REMOTE_CODE_PAD_PRESSED, 2, 1000));
    Sleep(50);
    driver.Stop(host.instance);
    const std::vector<SimulatedHostCall> calls = SimulatedHostCalls(&host);
    std::vector<int32_t> events;
    for (size_t i = before; i < calls.size(); ++i)
        if (calls[i].code >= QP240REMOTE_CODE_MIDI_BYTES)
            events.push_back(calls[i].argument);
    EXPECT_EQ(events, (std::vector<int32_t>{5})) << "only the new press reaches the host";
    Finish(&host);
}

TEST_F(WorkerTest, IntakeAnswersFollowTheConnection) {
    const HANDLE keypad = SimulatedDevicePlug(KeypadDevice(kKeypadProduct));
    SimulatedHost host;
    Create(&host, "host");
    uint8_t record[64] = {};
    std::memcpy(record + QP240REMOTE_RAWINPUT_DEVICE_OFFSET, &keypad, sizeof keypad);
    // Not started, then started but not yet connected: -3, even for null.
    EXPECT_EQ(driver.SetGetInformations(host.instance, QP240REMOTE_INFO_INPUT_REPORT, nullptr, 0),
              QP240REMOTE_E_NOT_CONNECTED);
    ASSERT_EQ(driver.Start(host.instance), 0);
    EXPECT_EQ(driver.SetGetInformations(host.instance, QP240REMOTE_INFO_INPUT_REPORT, record,
                                        sizeof record),
              QP240REMOTE_E_NOT_CONNECTED);
    ASSERT_TRUE(SimulatedHostWaitFor(&host, QP240REMOTE_CODE_CONNECTED, 1, kConnectTimeoutMs));
    EXPECT_EQ(driver.SetGetInformations(host.instance, QP240REMOTE_INFO_INPUT_REPORT, nullptr, 0),
              QP240REMOTE_E_NULL_DATA);
    const HANDLE other = reinterpret_cast<HANDLE>(0x4321);
    std::memcpy(record + QP240REMOTE_RAWINPUT_DEVICE_OFFSET, &other, sizeof other);
    EXPECT_EQ(driver.SetGetInformations(host.instance, QP240REMOTE_INFO_INPUT_REPORT, record,
                                        sizeof record),
              QP240REMOTE_E_OTHER_DEVICE);
    std::memcpy(record + QP240REMOTE_RAWINPUT_DEVICE_OFFSET, &keypad, sizeof keypad);
    const uint32_t tooShort = kProfile.minimumReportLength - 1;
    std::memcpy(record + QP240REMOTE_RAWINPUT_REPORT_SIZE_OFFSET, &tooShort, sizeof tooShort);
    EXPECT_EQ(driver.SetGetInformations(host.instance, QP240REMOTE_INFO_INPUT_REPORT, record,
                                        sizeof record),
              kProfile.tooShortStatus);
    EXPECT_EQ(driver.SetGetInformations(host.instance, 57, record, sizeof record),
              QP240REMOTE_E_BAD_ID);
    driver.Stop(host.instance);
    // After the worker ended: -3 again.
    EXPECT_EQ(driver.SetGetInformations(host.instance, QP240REMOTE_INFO_INPUT_REPORT, nullptr, 0),
              QP240REMOTE_E_NOT_CONNECTED);
    Finish(&host);
}

}  // namespace
