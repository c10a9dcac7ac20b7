// Id-55 answers in the order the intake checks them, and what reaches the ring.
#include "engine/report_intake.h"

#include <cstring>
#include <vector>

#include <gtest/gtest.h>

#include "include/qp240_remote.h"
#include "tests/native/engine_test_instance.h"

namespace {

HANDLE const kKeypad = reinterpret_cast<HANDLE>(0x1234);
HANDLE const kOtherDevice = reinterpret_cast<HANDLE>(0x5678);

// The family's common layout: keys from report byte 4.
constexpr uint32_t kProduct = kProfile.productIds[kProfile.productIdCount - 1];
constexpr uint32_t kFullLength = 4 + kProfile.keyCount;

std::vector<uint8_t> KeysReport(uint8_t firstKey) {
    std::vector<uint8_t> report(kFullLength, 0);
    report[4] = firstKey;
    return report;
}

class ReportIntakeTest : public ::testing::Test {
  protected:
    void SetUp() override { instance = MakeTestInstance(&host); }
    void TearDown() override { FreeTestInstance(instance); }
    TestHost host;
    KeypadEngine* instance = nullptr;
};

TEST_F(ReportIntakeTest, NotConnectedComesFirstEvenForANullRecord) {
    EXPECT_EQ(ReportIntake(instance, nullptr), QP240REMOTE_E_NOT_CONNECTED);
    const std::vector<uint8_t> record = MakeRecord(kKeypad, KeysReport(1), kFullLength);
    EXPECT_EQ(ReportIntake(instance, record.data()), QP240REMOTE_E_NOT_CONNECTED);
    EXPECT_EQ(instance->reportQueue.writeIndex.load(), 0);
}

TEST_F(ReportIntakeTest, ConnectedChecksRecordDeviceAndLengthThenQueues) {
    ConnectTestInstance(instance, kKeypad, kProduct);
    EXPECT_EQ(ReportIntake(instance, nullptr), QP240REMOTE_E_NULL_DATA);
    EXPECT_EQ(ReportIntake(instance, MakeRecord(kOtherDevice, KeysReport(1), kFullLength).data()),
              QP240REMOTE_E_OTHER_DEVICE);
    EXPECT_EQ(ReportIntake(instance, MakeRecord(kKeypad, KeysReport(1), kFullLength - 1).data()),
              KOLMAR_KEY_COUNT == 32 ? QP240REMOTE_E_REPORT_TOO_SHORT
                                     : QP240REMOTE_E_KEYS_TOO_SHORT_15);
    EXPECT_EQ(instance->reportQueue.writeIndex.load(), 0);

    ASSERT_EQ(ReportIntake(instance, MakeRecord(kKeypad, KeysReport(0x81), kFullLength).data()), 0);
    uint8_t snapshot[kProfile.keyCount];
    ASSERT_TRUE(ReportQueuePop(&instance->reportQueue, snapshot));
    EXPECT_EQ(snapshot[0], 0x81);
    for (int32_t k = 1; k < kProfile.keyCount; ++k)
        EXPECT_EQ(snapshot[k], 0) << k;
}

// What may happen to the connection while a call waits between its checks
// and its push.
void Disconnect(KeypadEngine* instance) {
    instance->connectedFlag.store(0);
    instance->deviceHandle.store(nullptr);
}
void ConnectOtherDevice(KeypadEngine* instance) {
    ConnectTestInstance(instance, kOtherDevice, kProduct);
}
void ReconnectSameDevice(KeypadEngine* instance) {
    Disconnect(instance);
    ConnectTestInstance(instance, kKeypad, kProduct);
}

TEST_F(ReportIntakeTest, ACallHeldWhileTheConnectionIsRenewedLeavesTheNewRingEmpty) {
    const struct {
        void (*renew)(KeypadEngine*);
        int32_t answer;
    } cases[] = {{Disconnect, QP240REMOTE_E_NOT_CONNECTED},
                 {ConnectOtherDevice, QP240REMOTE_E_OTHER_DEVICE},
                 {ReconnectSameDevice, QP240REMOTE_E_OTHER_DEVICE}};
    for (const auto& renewal : cases) {
        ConnectTestInstance(instance, kKeypad, kProduct);
        g_reportIntakeBeforePush = renewal.renew;
        EXPECT_EQ(ReportIntake(instance, MakeRecord(kKeypad, KeysReport(1), kFullLength).data()),
                  renewal.answer);
        g_reportIntakeBeforePush = nullptr;
        uint8_t snapshot[kProfile.keyCount];
        EXPECT_FALSE(ReportQueuePop(&instance->reportQueue, snapshot)) << renewal.answer;
    }
}

#if KOLMAR_KEY_COUNT == 15
TEST_F(ReportIntakeTest, TheRecordedProductChoosesTheLayout) {
    ConnectTestInstance(instance, kKeypad, 0x60);
    std::vector<uint8_t> report(17, 0);
    report[1] = 1;  // key 4 on product 0x60
    EXPECT_EQ(ReportIntake(instance, MakeRecord(kKeypad, report, 16).data()),
              QP240REMOTE_E_REPORT_TOO_SHORT_15);
    ASSERT_EQ(ReportIntake(instance, MakeRecord(kKeypad, report, 17).data()), 0);
    uint8_t snapshot[15];
    ASSERT_TRUE(ReportQueuePop(&instance->reportQueue, snapshot));
    for (int k = 0; k < 15; ++k)
        EXPECT_EQ(snapshot[k], k == 4 ? 1 : 0) << k;
}
#endif

TEST_F(ReportIntakeTest, FullRingAnswersZeroAndCountsTheDroppedSnapshot) {
    ConnectTestInstance(instance, kKeypad, kProduct);
    const std::vector<uint8_t> record = MakeRecord(kKeypad, KeysReport(1), kFullLength);
    for (int i = 0; i < 127; ++i)
        ASSERT_EQ(ReportIntake(instance, record.data()), 0);
    EXPECT_EQ(ReportIntake(instance, record.data()), 0);
    EXPECT_EQ(instance->reportQueue.refusedCount.load(), 1);
    uint8_t snapshot[kProfile.keyCount];
    ASSERT_TRUE(ReportQueuePop(&instance->reportQueue, snapshot));
    EXPECT_EQ(ReportIntake(instance, record.data()), 0);
    EXPECT_EQ(instance->reportQueue.refusedCount.load(), 1);
}

TEST_F(ReportIntakeTest, RingWithoutStorageRefusesAsIfFull) {
    ReportQueueFree(&instance->reportQueue);
    ConnectTestInstance(instance, kKeypad, kProduct);
    const std::vector<uint8_t> record = MakeRecord(kKeypad, KeysReport(1), kFullLength);
    EXPECT_EQ(ReportIntake(instance, record.data()), 0);
    EXPECT_EQ(ReportIntake(instance, record.data()), 0);
    EXPECT_EQ(instance->reportQueue.refusedCount.load(), 2);
}

TEST_F(ReportIntakeTest, AProducerThatCannotGetTheGuardDropsItsSnapshot) {
    ConnectTestInstance(instance, kKeypad, kProduct);
    instance->producerGuard.store(1);  // another host thread inside the ring, and stuck there
    const std::vector<uint8_t> record = MakeRecord(kKeypad, KeysReport(1), kFullLength);
    EXPECT_EQ(ReportIntake(instance, record.data()), 0);
    EXPECT_EQ(instance->reportQueue.refusedCount.load(), 1);
    EXPECT_EQ(instance->reportQueue.writeIndex.load(), 0);
    instance->producerGuard.store(0);
    EXPECT_EQ(ReportIntake(instance, record.data()), 0);
    EXPECT_EQ(instance->reportQueue.writeIndex.load(), 1);
}

}  // namespace
