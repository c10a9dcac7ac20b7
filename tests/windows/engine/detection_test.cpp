// The worker's detection: what it offers, when, and in what order the host
// hears of a run; the device list's reuse, growth and limit.
#include <vector>

#include "include/qp240_remote.h"
#include "tests/windows/engine/worker_fixture.h"

namespace {

using Codes = std::vector<int32_t>;

// A device that would match if its name or information could be read.
SimulatedDevice Unreadable(bool name, bool info, bool emptyName) {
    SimulatedDevice device = KeypadDevice(kKeypadProduct);
    device.nameUnreadable = name;
    device.infoUnreadable = info;
    if (emptyName)
        device.name[0] = '\0';
    return device;
}

// Every kind of device that must never be offered: the shared decoys, the
// other family's keypad, and keypads whose name or information cannot be read.
void PlugDecoys() {
    const uint16_t otherFamily =
        (KOLMAR_KEY_COUNT == 32 ? kProfile15Keys : kProfile32Keys).productIds[0];
    SimulatedDevicesPlugDecoys();
    SimulatedDevicePlug(KeypadDevice(otherFamily));
    SimulatedDevicePlug(Unreadable(true, false, false));
    SimulatedDevicePlug(Unreadable(false, true, false));
    SimulatedDevicePlug(Unreadable(false, false, true));
}

TEST_F(WorkerTest, WithoutAKeypadTheHostHearsOnlyTheStartAndTheEnd) {
    PlugDecoys();
    SimulatedHost waiting, quick;
    Create(&waiting, "waiting");
    Create(&quick, "quick");
    ASSERT_EQ(driver.Start(waiting.instance), 0);
    // Stopped before its first pass could find anything.
    ASSERT_EQ(driver.Start(quick.instance), 0);
    EXPECT_EQ(driver.Stop(quick.instance), 0);

    const SimulatedListCalls before = SimulatedListCallsSoFar();
    Sleep(2300);  // two detection passes
    EXPECT_GT(SimulatedListCallsSoFar().fillCalls, before.fillCalls) << "the worker searched";
    EXPECT_EQ(driver.GetDriverStatus(waiting.instance), 1);
    EXPECT_EQ(driver.Stop(waiting.instance), 0);

    const Codes expected = {QP240REMOTE_CODE_WORKER_BEGINS, QP240REMOTE_CODE_CLOSE_KEYPAD,
                            QP240REMOTE_CODE_NO_KEYPAD, QP240REMOTE_CODE_WORKER_ENDS};
    for (SimulatedHost* host : {&waiting, &quick}) {
        EXPECT_EQ(SimulatedHostCodes(host), expected) << host->label;
        const std::vector<SimulatedHostCall> calls = SimulatedHostCalls(host);
        ASSERT_EQ(calls.size(), 4u);
        EXPECT_EQ(calls[1].pointer, nullptr) << "no keypad was accepted in this run";
        for (const SimulatedHostCall& call : calls) {
            EXPECT_EQ(call.threadId, calls[0].threadId) << "one worker thread makes every call";
            EXPECT_NE(call.threadId, GetCurrentThreadId());
        }
    }
    Finish(&waiting);
    Finish(&quick);
}

TEST_F(WorkerTest, AnOfferAnsweredWithAnyNonzeroValueConnects) {
    SimulatedDevicePlug(KeypadDevice(kKeypadProduct));
    SimulatedHost hosts[2];
    const int32_t answers[2] = {-1, 2};
    for (int i = 0; i < 2; ++i) {
        Create(&hosts[i], answers[i] < 0 ? "answers -1" : "answers 2");
        hosts[i].accepting = answers[i];
        ASSERT_EQ(driver.Start(hosts[i].instance), 0);
    }
    for (SimulatedHost& host : hosts) {
        EXPECT_TRUE(SimulatedHostWaitFor(&host, QP240REMOTE_CODE_CONNECTED, 1, kConnectTimeoutMs))
            << host.label;
        EXPECT_EQ(driver.GetDriverStatus(host.instance), 2) << host.label;
        EXPECT_EQ(driver.Stop(host.instance), 0);
        Finish(&host);
    }
}

TEST_F(WorkerTest, OnlyTheFirstKeypadIsOfferedASecondAfterStartThenConnectedInOrder) {
    PlugDecoys();
    const HANDLE first = SimulatedDevicePlug(KeypadDevice(kOtherProduct));
    SimulatedDevicePlug(KeypadDevice(kKeypadProduct));
    SimulatedHost host;
    DriverInstance* instance = Create(&host, "host");
    ASSERT_TRUE(StartAndConnect(&host));
    Sleep(1200);  // another pass would offer again if it ran detection
    EXPECT_EQ(driver.Stop(instance), 0);

    const std::vector<SimulatedHostCall> calls = SimulatedHostCalls(&host);
    ASSERT_EQ(SimulatedHostCodes(&host),
              (Codes{QP240REMOTE_CODE_WORKER_BEGINS, QP240REMOTE_CODE_OFFER_KEYPAD,
                     QP240REMOTE_CODE_FILL_STATUS, QP240REMOTE_CODE_CONNECTED,
                     QP240REMOTE_CODE_CLOSE_KEYPAD, QP240REMOTE_CODE_NO_KEYPAD,
                     QP240REMOTE_CODE_WORKER_ENDS}));
    EXPECT_EQ(calls[1].pointer, first);
    const unsigned offeredAfter = calls[1].ms - calls[0].ms;
    EXPECT_GE(offeredAfter, 950u) << "never at once";
    EXPECT_LT(offeredAfter, 2000u) << "within the first pass";
    EXPECT_EQ(calls[2].argument, QP240REMOTE_HOST_STATUS_SIZE);
    EXPECT_EQ(calls[2].pointer, &instance->engine.statusBlock);
    EXPECT_EQ(calls[2].driverStatus, 1) << "not connected before 151";
    EXPECT_EQ(calls[3].driverStatus, 2) << "connected before 60";
    EXPECT_EQ(calls[4].pointer, first);
    EXPECT_EQ(RecordedProductId(&instance->engine), KOLMAR_KEY_COUNT == 15 ? kOtherProduct : 0u);
    Finish(&host);
}

TEST_F(WorkerTest, ARefusedKeypadIsOfferedAgainEachSecond) {
    const HANDLE first = SimulatedDevicePlug(KeypadDevice(kOtherProduct));
    SimulatedDevicePlug(KeypadDevice(kKeypadProduct));
    SimulatedHost once, always;
    Create(&once, "refuses once");
    DriverInstance* refusing = Create(&always, "refuses always");
    once.refusals = 1;
    always.refusals = -1;
    ASSERT_EQ(driver.Start(always.instance), 0);
    ASSERT_TRUE(StartAndConnect(&once));
    ASSERT_TRUE(SimulatedHostWaitFor(&always, QP240REMOTE_CODE_OFFER_KEYPAD, 2, kConnectTimeoutMs));
    driver.Stop(once.instance);
    driver.Stop(always.instance);

    const std::vector<SimulatedHostCall> calls = SimulatedHostCalls(&once);
    ASSERT_EQ(SimulatedHostCodes(&once),
              (Codes{QP240REMOTE_CODE_WORKER_BEGINS, QP240REMOTE_CODE_OFFER_KEYPAD,
                     QP240REMOTE_CODE_NO_KEYPAD, QP240REMOTE_CODE_OFFER_KEYPAD,
                     QP240REMOTE_CODE_FILL_STATUS, QP240REMOTE_CODE_CONNECTED,
                     QP240REMOTE_CODE_CLOSE_KEYPAD, QP240REMOTE_CODE_NO_KEYPAD,
                     QP240REMOTE_CODE_WORKER_ENDS}));
    EXPECT_EQ(calls[1].pointer, first);
    EXPECT_EQ(calls[3].pointer, first) << "the second keypad is never offered";
    EXPECT_EQ(calls[2].driverStatus, 1) << "not connected before 70";
    const unsigned interval = calls[3].ms - calls[1].ms;
    EXPECT_GE(interval, 950u);
    EXPECT_LT(interval, 2000u) << "in the next pass";

    for (const SimulatedHostCall& offer :
         SimulatedHostCallsWith(&always, QP240REMOTE_CODE_OFFER_KEYPAD))
        EXPECT_EQ(offer.pointer, first);
    EXPECT_EQ(SimulatedHostCallsWith(&always, QP240REMOTE_CODE_CLOSE_KEYPAD).at(0).pointer,
              nullptr);
    // The product of the keypad offered last is kept, though it was refused.
    EXPECT_EQ(RecordedProductId(&refusing->engine), KOLMAR_KEY_COUNT == 15 ? kOtherProduct : 0u);
    Finish(&once);
    Finish(&always);
}

// Waits until the worker has made its next call of kind `field` (count
// queries or fills) since `*seen`, and updates `*seen`.
void WaitForNext(uint32_t SimulatedListCalls::*field, uint32_t* seen) {
    const DWORD start = GetTickCount();
    while (SimulatedListCallsSoFar().*field <= *seen && GetTickCount() - start < 3000)
        Sleep(5);
    *seen = SimulatedListCallsSoFar().*field;
}

TEST_F(WorkerTest, TheDeviceListIsReusedGrownWhenNeededAndNeverSearchedBeyond128) {
    for (int i = 0; i < 3; ++i)
        SimulatedDevicePlug(DecoyMouse());
    SimulatedHost host;
    Create(&host, "host");
    uint32_t fills = SimulatedListCallsSoFar().fillCalls;
    ASSERT_EQ(driver.Start(host.instance), 0);

    WaitForNext(&SimulatedListCalls::fillCalls, &fills);
    const SimulatedListCalls first = SimulatedListCallsSoFar();
    EXPECT_EQ(first.lastRoom, 3u);
    EXPECT_EQ(first.lastFillListed, 3u);
    WaitForNext(&SimulatedListCalls::fillCalls, &fills);
    EXPECT_EQ(SimulatedListCallsSoFar().lastList, first.lastList) << "same count: list reused";

    const HANDLE mouse = SimulatedDevicePlug(DecoyMouse());
    SimulatedDevicePlug(DecoyMouse());
    WaitForNext(&SimulatedListCalls::fillCalls, &fills);
    const SimulatedListCalls grown = SimulatedListCallsSoFar();
    EXPECT_EQ(grown.lastFillListed, 5u) << "the list grew to hold five";
    SimulatedDeviceUnplug(mouse);
    WaitForNext(&SimulatedListCalls::fillCalls, &fills);
    EXPECT_EQ(SimulatedListCallsSoFar().lastList, grown.lastList) << "fewer devices: reused";

    // 200 devices, a keypad first: the fill with room for 128 fails, and
    // nothing is offered.
    SimulatedDevicesUnplugAll();
    SimulatedDevicePlug(KeypadDevice(kKeypadProduct));
    for (int i = 1; i < 200; ++i)
        SimulatedDevicePlug(DecoyMouse());
    WaitForNext(&SimulatedListCalls::fillCalls, &fills);
    const SimulatedListCalls capped = SimulatedListCallsSoFar();
    EXPECT_EQ(capped.lastRoom, 128u);
    EXPECT_EQ(capped.lastFillListed, static_cast<UINT>(-1));

    // A count that cannot be read ends the pass before any fill.
    uint32_t queries = capped.countQueries;
    SimulatedListCountFails(true);
    WaitForNext(&SimulatedListCalls::countQueries, &queries);
    Sleep(50);
    EXPECT_EQ(SimulatedListCallsSoFar().fillCalls, capped.fillCalls);
    SimulatedListCountFails(false);

    driver.Stop(host.instance);
    EXPECT_EQ(SimulatedHostCount(&host, QP240REMOTE_CODE_OFFER_KEYPAD), 0);
    Finish(&host);
}

}  // namespace
