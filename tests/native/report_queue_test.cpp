// The report ring at its boundaries: empty, full (127 waiting), the wrap, the
// reset, and a ring without storage.
#include "engine/report_queue.h"

#include <cstring>
#include <vector>

#include <gtest/gtest.h>

#include "base/variant_profile.h"

namespace {

constexpr int32_t kElement = kProfile.keyCount;

std::vector<uint8_t> Snapshot(int32_t sequence) {
    std::vector<uint8_t> bytes(kElement);
    for (int32_t i = 0; i < kElement; ++i)
        bytes[i] = static_cast<uint8_t>(sequence * 7 + i);
    return bytes;
}

class ReportQueueTest : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_EQ(ReportQueueInit(&queue, kElement), 0); }
    void TearDown() override { ReportQueueFree(&queue); }
    ReportQueue queue = {};
};

TEST_F(ReportQueueTest, StartsEmptyWithZeroedStorageOfTheVariantsSize) {
    EXPECT_EQ(queue.capacity, 128);
    EXPECT_EQ(queue.elementSize, kElement);
    for (int32_t i = 0; i < 128 * kElement; ++i)
        ASSERT_EQ(queue.storage[i], 0) << i;
    uint8_t out[kElement];
    EXPECT_FALSE(ReportQueuePop(&queue, out));
    EXPECT_EQ(queue.refusedCount.load(), 0);
}

TEST_F(ReportQueueTest, HoldsAtMost127AndCountsEachRefusal) {
    for (int32_t i = 0; i < 127; ++i)
        ASSERT_EQ(ReportQueuePush(&queue, Snapshot(i).data()), 0) << i;
    EXPECT_EQ(ReportQueuePush(&queue, Snapshot(127).data()), -1);
    EXPECT_EQ(ReportQueuePush(&queue, Snapshot(128).data()), -1);
    EXPECT_EQ(queue.refusedCount.load(), 2);

    uint8_t out[kElement];
    ASSERT_TRUE(ReportQueuePop(&queue, out));
    EXPECT_EQ(0, std::memcmp(out, Snapshot(0).data(), kElement));
    // One slot given back: the next push stores again, and the refused
    // snapshots never appear.
    EXPECT_EQ(ReportQueuePush(&queue, Snapshot(200).data()), 0);
    for (int32_t i = 1; i < 127; ++i) {
        ASSERT_TRUE(ReportQueuePop(&queue, out));
        ASSERT_EQ(0, std::memcmp(out, Snapshot(i).data(), kElement)) << i;
    }
    ASSERT_TRUE(ReportQueuePop(&queue, out));
    EXPECT_EQ(0, std::memcmp(out, Snapshot(200).data(), kElement));
    EXPECT_FALSE(ReportQueuePop(&queue, out));
}

TEST_F(ReportQueueTest, KeepsOrderAcrossTheWrap) {
    uint8_t out[kElement];
    int32_t next = 0;
    for (int32_t round = 0; round < 5; ++round) {
        for (int32_t i = 0; i < 100; ++i)
            ASSERT_EQ(ReportQueuePush(&queue, Snapshot(round * 100 + i).data()), 0);
        for (int32_t i = 0; i < 100; ++i) {
            ASSERT_TRUE(ReportQueuePop(&queue, out));
            ASSERT_EQ(0, std::memcmp(out, Snapshot(next++).data(), kElement)) << next;
        }
    }
    // 500 snapshots went through: the indexes passed 127 to 0 three times.
    EXPECT_EQ(queue.writeIndex.load(), 500 % 128);
    EXPECT_EQ(queue.readIndex.load(), 500 % 128);
    EXPECT_EQ(queue.refusedCount.load(), 0);
}

TEST_F(ReportQueueTest, ResetEmptiesTheRingAndKeepsItsStorage) {
    for (int32_t i = 0; i < 130; ++i)
        ReportQueuePush(&queue, Snapshot(i).data());
    const uint8_t* storage = queue.storage;
    ReportQueueReset(&queue);
    EXPECT_EQ(queue.storage, storage);
    EXPECT_EQ(queue.refusedCount.load(), 0);
    EXPECT_EQ(0, std::memcmp(queue.storage, Snapshot(0).data(), kElement));
    uint8_t out[kElement];
    EXPECT_FALSE(ReportQueuePop(&queue, out));
    EXPECT_EQ(ReportQueuePush(&queue, Snapshot(9).data()), 0);
    ASSERT_TRUE(ReportQueuePop(&queue, out));
    EXPECT_EQ(0, std::memcmp(out, Snapshot(9).data(), kElement));
}

TEST_F(ReportQueueTest, WithoutStorageRefusesEverySnapshotAndYieldsNone) {
    ReportQueueFree(&queue);
    ReportQueueFree(&queue);  // safe to repeat
    EXPECT_EQ(queue.storage, nullptr);
    EXPECT_EQ(ReportQueuePush(&queue, Snapshot(1).data()), -1);
    EXPECT_EQ(ReportQueuePush(&queue, Snapshot(2).data()), -1);
    EXPECT_EQ(queue.refusedCount.load(), 2);
    uint8_t out[kElement];
    EXPECT_FALSE(ReportQueuePop(&queue, out));
    EXPECT_EQ(queue.writeIndex.load(), 0);
}

TEST_F(ReportQueueTest, InitAgainReleasesTheOldStorageAndStartsOver) {
    ReportQueuePush(&queue, Snapshot(1).data());
    ASSERT_EQ(ReportQueueInit(&queue, kElement), 0);  // the sanitizer sees any leak
    uint8_t out[kElement];
    EXPECT_FALSE(ReportQueuePop(&queue, out));
    for (int32_t i = 0; i < 128 * kElement; ++i)
        ASSERT_EQ(queue.storage[i], 0) << i;
}

}  // namespace
