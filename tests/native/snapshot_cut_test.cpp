// Both families' report layouts, including product 0x60's reversed rows, and
// the too-short answers; each native program checks both profiles.
#include "engine/report_intake.h"

#include <cstring>
#include <vector>

#include <gtest/gtest.h>

#include "include/qp240_remote.h"

namespace {

// A report whose byte j is `fill(j)`; the rest of its room stays zero.
std::vector<uint8_t> Report(size_t length, uint8_t (*fill)(size_t)) {
    std::vector<uint8_t> report(length);
    for (size_t j = 0; j < length; ++j)
        report[j] = fill(j);
    return report;
}

uint8_t ByteNumber(size_t j) {
    return static_cast<uint8_t>(j);
}

TEST(SnapshotCut32Keys, KeysComeFromReportBytes4To35) {
    const std::vector<uint8_t> report = Report(512, ByteNumber);
    uint8_t snapshot[32];
    ASSERT_EQ(CutKeySnapshot(kProfile32Keys, report.data(), 36, 0x6C, snapshot), 0);
    for (int k = 0; k < 32; ++k)
        EXPECT_EQ(snapshot[k], 4 + k) << "key " << k;
    EXPECT_EQ(snapshot[31], 35);  // report byte 35 is key 31; bytes 0..3 never arrive
}

TEST(SnapshotCut32Keys, ShortReportIsRefusedAndTheSnapshotUntouched) {
    const std::vector<uint8_t> report = Report(36, ByteNumber);
    uint8_t snapshot[32];
    std::memset(snapshot, 0xEE, sizeof snapshot);
    EXPECT_EQ(CutKeySnapshot(kProfile32Keys, report.data(), 35, 0x8F, snapshot),
              QP240REMOTE_E_REPORT_TOO_SHORT);
    EXPECT_EQ(CutKeySnapshot(kProfile32Keys, report.data(), 0, 0xBA, snapshot),
              QP240REMOTE_E_REPORT_TOO_SHORT);
    for (uint8_t byte : snapshot)
        ASSERT_EQ(byte, 0xEE);
    // The length is unsigned: a huge stated length is not "short".
    EXPECT_EQ(CutKeySnapshot(kProfile32Keys, report.data(), 0x80000000u, 0x8F, snapshot), 0);
}

TEST(SnapshotCut15Keys, OtherModelsTakeReportBytes4To18FromLength19) {
    const std::vector<uint8_t> report = Report(64, ByteNumber);
    uint8_t snapshot[15];
    for (uint32_t product : {0x6Du, 0x80u, 0xA5u, 0xB9u}) {
        EXPECT_EQ(CutKeySnapshot(kProfile15Keys, report.data(), 16, product, snapshot),
                  QP240REMOTE_E_REPORT_TOO_SHORT_15);
        EXPECT_EQ(CutKeySnapshot(kProfile15Keys, report.data(), 17, product, snapshot),
                  QP240REMOTE_E_KEYS_TOO_SHORT_15);
        EXPECT_EQ(CutKeySnapshot(kProfile15Keys, report.data(), 18, product, snapshot),
                  QP240REMOTE_E_KEYS_TOO_SHORT_15);
        ASSERT_EQ(CutKeySnapshot(kProfile15Keys, report.data(), 19, product, snapshot), 0);
        for (int k = 0; k < 15; ++k)
            ASSERT_EQ(snapshot[k], 4 + k) << "product " << product << " key " << k;
    }
}

TEST(SnapshotCut15Keys, Product60ReadsBytes1To15ByReversedRowsFromLength17) {
    const std::vector<uint8_t> report = Report(17, ByteNumber);
    uint8_t snapshot[15];
    EXPECT_EQ(CutKeySnapshot(kProfile15Keys, report.data(), 16, 0x60, snapshot),
              QP240REMOTE_E_REPORT_TOO_SHORT_15);
    ASSERT_EQ(CutKeySnapshot(kProfile15Keys, report.data(), 17, 0x60, snapshot), 0);
    const uint8_t expected[15] = {5, 4, 3, 2, 1, 10, 9, 8, 7, 6, 15, 14, 13, 12, 11};
    for (int k = 0; k < 15; ++k)
        EXPECT_EQ(snapshot[k], expected[k]) << "key " << k;
}

TEST(SnapshotCut15Keys, Product60SingleKeyPositions) {
    // Only bit 0 of one report byte set: which key is down.
    const struct {
        size_t reportByte;
        int key;
    } cases[] = {{5, 0}, {1, 4}, {10, 5}, {15, 10}, {11, 14}};
    for (const auto& c : cases) {
        std::vector<uint8_t> report(17, 0);
        report[c.reportByte] = 1;
        uint8_t snapshot[15];
        ASSERT_EQ(CutKeySnapshot(kProfile15Keys, report.data(), 17, 0x60, snapshot), 0);
        for (int k = 0; k < 15; ++k)
            EXPECT_EQ(snapshot[k], k == c.key ? 1 : 0) << "byte " << c.reportByte << " key " << k;
    }
}

TEST(SnapshotCut, OtherBitsTravelAlong) {
    std::vector<uint8_t> report(512, 0);
    report[4] = 0xFE;
    report[5] = 0x81;
    uint8_t snapshot[32];
    ASSERT_EQ(CutKeySnapshot(kProfile32Keys, report.data(), 512, 0x6C, snapshot), 0);
    EXPECT_EQ(snapshot[0], 0xFE);
    EXPECT_EQ(snapshot[1], 0x81);
}

}  // namespace
