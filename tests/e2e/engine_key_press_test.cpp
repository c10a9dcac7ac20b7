// The road of one key press through the real DLLs: a simulated keypad, the
// host reading it, the driver's pad events and MIDI, for both deliverables at
// once; and every supported model's report layout.
#include <cstring>
#include <vector>

#include "include/qp240_remote.h"
#include "tests/e2e/engine_support.h"
#include "tools/host_simulator/callback_log.h"

namespace {

std::string MidiText(const SimulatedHostCall& call) {
    char text[512];
    DescribeMidi(text, sizeof text, call.bytes.data(), call.argument);
    return text;
}

// Waits for `count` key events after index `from`.
std::vector<SimulatedHostCall> WaitForEvents(SimulatedHost* host, size_t from, size_t count) {
    const DWORD start = GetTickCount();
    std::vector<SimulatedHostCall> events = KeyEvents(host, from);
    while (events.size() < count && GetTickCount() - start < kEventTimeoutMs) {
        Sleep(2);
        events = KeyEvents(host, from);
    }
    return events;
}

void RoadOfOneKeyPress(DriverUnderTest& d) {
    const KeypadFamily& family = *d.family;
    const HANDLE keypad = SimulatedDevicePlug(KeypadDevice(family.productIds[0]));
    SimulatedHost host;
    CreateInstance(d, &host, family.deliverableName);
    ASSERT_TRUE(SimulatedHostStartAndConnect(&host, kConnectTimeoutMs));
    EXPECT_EQ(SimulatedHostOpenDevice(&host), keypad);
    EXPECT_EQ(d.driver.GetDriverStatus(host.instance), QP240REMOTE_DRIVER_CONNECTED);

    // Pad protocol: the fourth key, then StopAllPads.
    size_t from = SimulatedHostCalls(&host).size();
    ASSERT_EQ(SimulatedHostSetKey(&host, 3, true), QP240REMOTE_OK);
    ASSERT_EQ(SimulatedHostSetKey(&host, 3, false), QP240REMOTE_OK);
    ASSERT_EQ(SimulatedHostSetKey(&host, StopAllPadsKey(family), true), QP240REMOTE_OK);
    ASSERT_EQ(SimulatedHostSetKey(&host, StopAllPadsKey(family), false), QP240REMOTE_OK);
    std::vector<SimulatedHostCall> events = WaitForEvents(&host, from, 3);
    ASSERT_EQ(events.size(), 3u) << family.deliverableName;
    EXPECT_EQ(events[0].code, QP240REMOTE_CODE_PAD_PRESSED);
    EXPECT_EQ(events[0].argument, 3);
    EXPECT_EQ(events[1].code, QP240REMOTE_CODE_PAD_RELEASED);
    EXPECT_EQ(events[1].argument, 3);
    EXPECT_EQ(events[2].code, QP240REMOTE_CODE_STOP_ALL_PADS);

    // MIDI on channel 1: the same key as a Note On and a Note Off.
    const QP240REMOTE_Context midi = {QP240REMOTE_KEY_MODE_MIDI, 0, 0};
    ASSERT_EQ(d.driver.SetContext(host.instance, &midi, sizeof midi), QP240REMOTE_OK);
    from = SimulatedHostCalls(&host).size();
    ASSERT_EQ(SimulatedHostSetKey(&host, 3, true), QP240REMOTE_OK);
    ASSERT_EQ(SimulatedHostSetKey(&host, 3, false), QP240REMOTE_OK);
    events = WaitForEvents(&host, from, 2);
    ASSERT_EQ(events.size(), 2u);
    EXPECT_EQ(MidiText(events[0]), "Note On ch 1 note 67 vel 64");
    EXPECT_EQ(MidiText(events[1]), "Note Off ch 1 note 67 vel 0");

    // Every key at once: the commands first, then one batch of every note.
    from = SimulatedHostCalls(&host).size();
    uint8_t all[kMaxKeypadKeys];
    std::memset(all, 1, sizeof all);
    ASSERT_EQ(SimulatedHostSetKeys(&host, all, family.keyCount), QP240REMOTE_OK);
    events = WaitForEvents(&host, from, 3);
    ASSERT_EQ(events.size(), 3u);
    EXPECT_EQ(events[0].code, QP240REMOTE_CODE_STOP_ALL_PADS);
    EXPECT_EQ(events[1].code, QP240REMOTE_CODE_STOP_ALL_PLISTS);
    EXPECT_EQ(events[2].code, QP240REMOTE_CODE_MIDI_BYTES);
    EXPECT_EQ(events[2].argument, 3 * family.padKeyCount);

    EXPECT_EQ(d.driver.Stop(host.instance), QP240REMOTE_OK);
    const std::vector<SimulatedHostCall> calls = SimulatedHostCalls(&host);
    for (const SimulatedHostCall& call : calls)
        EXPECT_EQ(call.threadId, calls[0].threadId) << "callbacks come from the worker only";
    EXPECT_EQ(SimulatedHostCallsWith(&host, QP240REMOTE_CODE_CLOSE_KEYPAD).at(0).pointer, keypad);
    DestroyInstance(d, &host);
}

TEST_F(BothDrivers, AKeyPressArrivesAsPadEventsAndAsMidi) {
    ForBothAtOnce(RoadOfOneKeyPress);
}

// Each model of the family in turn: every key pressed and released one after
// the other must come out as its own pad, whatever the model's layout.
void EveryModelsLayout(DriverUnderTest& d) {
    const KeypadFamily& family = *d.family;
    SimulatedHost host;
    CreateInstance(d, &host, family.deliverableName);
    for (int32_t m = 0; m < family.productIdCount; ++m) {
        const uint16_t product = family.productIds[m];
        const HANDLE keypad = SimulatedDevicePlug(KeypadDevice(product));
        ASSERT_TRUE(SimulatedHostStartAndConnect(&host, kConnectTimeoutMs)) << product;
        ASSERT_EQ(SimulatedHostOpenDevice(&host), keypad);
        const size_t from = SimulatedHostCalls(&host).size();
        for (int32_t key = 0; key < family.keyCount; ++key) {
            ASSERT_EQ(SimulatedHostSetKey(&host, key, true), QP240REMOTE_OK);
            ASSERT_EQ(SimulatedHostSetKey(&host, key, false), QP240REMOTE_OK);
        }
        // Two events per pad key, one per command key.
        const size_t expected = 2 * family.padKeyCount + 2;
        const std::vector<SimulatedHostCall> events = WaitForEvents(&host, from, expected);
        ASSERT_EQ(events.size(), expected) << "product " << product;
        for (int32_t key = 0; key < family.padKeyCount; ++key) {
            EXPECT_EQ(events[2 * key].code, QP240REMOTE_CODE_PAD_PRESSED);
            EXPECT_EQ(events[2 * key].argument, key) << "product " << product;
            EXPECT_EQ(events[2 * key + 1].code, QP240REMOTE_CODE_PAD_RELEASED);
            EXPECT_EQ(events[2 * key + 1].argument, key) << "product " << product;
        }
        EXPECT_EQ(events[expected - 2].code, QP240REMOTE_CODE_STOP_ALL_PADS);
        EXPECT_EQ(events[expected - 1].code, QP240REMOTE_CODE_STOP_ALL_PLISTS);
        EXPECT_EQ(d.driver.Stop(host.instance), QP240REMOTE_OK);
        SimulatedDeviceUnplug(keypad);
    }
    DestroyInstance(d, &host);
}

TEST_F(BothDrivers, EverySupportedModelsReportLayoutGivesKeysInOrder) {
    ForBothAtOnce(EveryModelsLayout);
}

}  // namespace
