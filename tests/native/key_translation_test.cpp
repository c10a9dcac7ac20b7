// Snapshots into host events in both key modes, in the variant this program is
// built for.
#include "engine/key_translation.h"

#include <climits>
#include <cstring>
#include <vector>

#include <gtest/gtest.h>

#include "tests/native/engine_test_instance.h"

namespace {

constexpr int32_t kKeys = kProfile.keyCount;
constexpr int32_t kPads = kProfile.padKeyCount;
constexpr int32_t kStride = kProfile.padStride;
constexpr int32_t kStopPads = kProfile.stopAllPadsKey;
constexpr int32_t kStopPlists = kProfile.stopAllPlistsKey;

struct Keys {
    uint8_t bytes[kKeys] = {};
};

Keys Down(std::initializer_list<int32_t> keys) {
    Keys k;
    for (int32_t key : keys)
        k.bytes[key] = 1;
    return k;
}

class KeyTranslationTest : public ::testing::Test {
  protected:
    void SetUp() override { instance = MakeTestInstance(&host); }
    void TearDown() override { FreeTestInstance(instance); }
    void Settings(int32_t keyMode, int32_t channel, int32_t padBank) {
        WriteContext(&instance->settings, QP240REMOTE_Context{keyMode, channel, padBank});
    }
    void Translate(const Keys& keys) { TranslateSnapshot(instance, keys.bytes); }
    TestHost host;
    KeypadEngine* instance = nullptr;
};

TEST_F(KeyTranslationTest, OnlyBit0TellsAChange) {
    Settings(0, 0, 0);
    Keys keys;
    keys.bytes[2] = 0x02;
    Translate(keys);  // 0x00 -> 0x02: no change
    keys.bytes[2] = 0x03;
    Translate(keys);  // 0x02 -> 0x03: a press
    keys.bytes[5] = 0x01;
    Translate(keys);
    keys.bytes[5] = 0x03;
    Translate(keys);  // 0x01 -> 0x03: no change
    ASSERT_EQ(host.calls.size(), 2u);
    EXPECT_EQ(host.calls[0].code, QP240REMOTE_CODE_PAD_PRESSED);
    EXPECT_EQ(host.calls[0].argument, 2);
    EXPECT_EQ(host.calls[1].argument, 5);
    // The previous key states are the whole last snapshot, other bits too.
    EXPECT_EQ(0, std::memcmp(instance->previousKeyStates, keys.bytes, kKeys));
}

TEST_F(KeyTranslationTest, PadNumbersFollowThePadBank) {
    Settings(0, 0, 1);
    Translate(Down({0}));
    Translate(Down({0, kPads - 1}));
    Translate(Down({0}));
    Settings(0, 0, 2);
    Translate(Down({0, kPads - 1}));
    ASSERT_EQ(host.calls.size(), 4u);
    EXPECT_EQ(host.calls[0].code, QP240REMOTE_CODE_PAD_PRESSED);
    EXPECT_EQ(host.calls[0].argument, kStride);  // 25 or 12
    EXPECT_EQ(host.calls[2].code, QP240REMOTE_CODE_PAD_RELEASED);
    EXPECT_EQ(host.calls[2].argument, kStride + kPads - 1);      // 54 or 24
    EXPECT_EQ(host.calls[3].argument, 2 * kStride + kPads - 1);  // 36 for key 12 of 15
}

TEST_F(KeyTranslationTest, AnyKeyModeOtherThan1IsThePadProtocol) {
    for (int32_t mode : {0, 2, 7, -1}) {
        Settings(mode, 0, 0);
        Translate(Down({3}));
        Translate(Down({}));
    }
    for (const HostCall& call : host.calls)
        EXPECT_TRUE(call.code == QP240REMOTE_CODE_PAD_PRESSED ||
                    call.code == QP240REMOTE_CODE_PAD_RELEASED)
            << call.code;
    EXPECT_EQ(host.calls.size(), 8u);
}

TEST_F(KeyTranslationTest, MidiNotesOnTheChannelsLowNibble) {
    Settings(1, 0, 0);
    Translate(Down({0}));
    Translate(Down({}));
    Settings(1, 15, 0);
    Translate(Down({kPads - 1}));
    Settings(1, 17, 0);
    Translate(Down({kPads - 1, 3}));
    ASSERT_EQ(host.calls.size(), 4u);
    EXPECT_EQ(host.calls[0].bytes, (std::vector<uint8_t>{0x90, 0x40, 0x40}));
    EXPECT_EQ(host.calls[1].bytes, (std::vector<uint8_t>{0x80, 0x40, 0x00}));
    EXPECT_EQ(host.calls[2].bytes,
              (std::vector<uint8_t>{0x9F, static_cast<uint8_t>(0x40 + kPads - 1), 0x40}));
    EXPECT_EQ(host.calls[3].bytes, (std::vector<uint8_t>{0x91, 0x43, 0x40}));
    for (const HostCall& call : host.calls) {
        EXPECT_EQ(call.code, QP240REMOTE_CODE_MIDI_BYTES);
        EXPECT_EQ(call.argument, 3);
    }
}

TEST_F(KeyTranslationTest, EveryKeyAtOnceInMidiGivesCommandsThenOneBatch) {
    Settings(1, 0, 0);
    Keys all;
    std::memset(all.bytes, 1, sizeof all.bytes);
    Translate(all);
    ASSERT_EQ(host.calls.size(), 3u);
    EXPECT_EQ(host.calls[0].code, QP240REMOTE_CODE_STOP_ALL_PADS);
    EXPECT_EQ(host.calls[1].code, QP240REMOTE_CODE_STOP_ALL_PLISTS);
    EXPECT_EQ(host.calls[2].code, QP240REMOTE_CODE_MIDI_BYTES);
    ASSERT_EQ(host.calls[2].argument, 3 * kPads);  // 90 or 39
    for (int32_t k = 0; k < kPads; ++k) {
        EXPECT_EQ(host.calls[2].bytes[3 * k], 0x90);
        EXPECT_EQ(host.calls[2].bytes[3 * k + 1], 0x40 + k) << "key order";
        EXPECT_EQ(host.calls[2].bytes[3 * k + 2], 0x40);
    }
    // Releasing everything: notes off, nothing for the command keys.
    host.calls.clear();
    Translate(Keys{});
    ASSERT_EQ(host.calls.size(), 1u);
    EXPECT_EQ(host.calls[0].argument, 3 * kPads);
    EXPECT_EQ(host.calls[0].bytes[0], 0x80);
}

TEST_F(KeyTranslationTest, CommandKeysActOnPressOnlyInBothModes) {
    for (int32_t mode : {0, 1}) {
        host.calls.clear();
        Settings(mode, 0, 0);
        Translate(Down({kStopPads}));
        Translate(Down({kStopPads, kStopPlists}));
        Translate(Down({}));
        EXPECT_EQ(Codes(host), (std::vector<int32_t>{QP240REMOTE_CODE_STOP_ALL_PADS,
                                                     QP240REMOTE_CODE_STOP_ALL_PLISTS}))
            << "mode " << mode;
    }
}

TEST_F(KeyTranslationTest, UnchangedSnapshotSendsNothingAndNoEmptyBatch) {
    Settings(1, 0, 0);
    Translate(Down({}));
    Keys keys;
    keys.bytes[4] = 0xFE;  // bit 0 clear: no change
    Translate(keys);
    EXPECT_TRUE(host.calls.empty());
}

TEST_F(KeyTranslationTest, KeysHeldAtConnectionPressWithTheFirstSnapshot) {
    Settings(0, 0, 0);
    Translate(Down({3, kStopPads}));
    EXPECT_EQ(Codes(host),
              (std::vector<int32_t>{QP240REMOTE_CODE_PAD_PRESSED, QP240REMOTE_CODE_STOP_ALL_PADS}));
    EXPECT_EQ(host.calls[0].argument, 3);
}

TEST_F(KeyTranslationTest, KeyModeIsReadOncePerSnapshotAndPadBankPerKey) {
    Settings(0, 0, 0);
    // The host switches to MIDI and to bank 1 while the snapshot is handled.
    host.onCall = [](KeypadEngine* self, const HostCall& call) {
        if (call.code == QP240REMOTE_CODE_PAD_PRESSED && call.argument == 1) {
            self->settings.keyMode.store(1);
            self->settings.padBank.store(1);
        }
    };
    Translate(Down({1, 2}));
    ASSERT_EQ(host.calls.size(), 2u);
    EXPECT_EQ(host.calls[1].code, QP240REMOTE_CODE_PAD_PRESSED);  // still the pad protocol
    EXPECT_EQ(host.calls[1].argument, kStride + 2);               // but the new bank
    // A key pressed in one mode is released in the new one.
    host.onCall = nullptr;
    Translate(Down({}));
    ASSERT_EQ(host.calls.size(), 3u);
    EXPECT_EQ(host.calls[2].code, QP240REMOTE_CODE_MIDI_BYTES);
    EXPECT_EQ(host.calls[2].bytes[0], 0x80);
}

TEST_F(KeyTranslationTest, NotesOutside0To127SendNothingOtherKeysGoOn) {
    // With PadBank 2 (32 keys) or 5 (15 keys) the upper keys leave 0..127.
    const int32_t bank = KOLMAR_KEY_COUNT == 32 ? 2 : 5;
    const int32_t firstTooHigh = 128 - 0x40 - bank * kStride;
    ASSERT_GT(firstTooHigh, 0);
    ASSERT_LT(firstTooHigh, kPads);
    Settings(1, 0, bank);
    Translate(Down({0, firstTooHigh - 1, firstTooHigh, kPads - 1}));
    ASSERT_EQ(host.calls.size(), 1u);
    EXPECT_EQ(host.calls[0].bytes,
              (std::vector<uint8_t>{0x90, static_cast<uint8_t>(0x40 + bank * kStride), 0x40, 0x90,
                                    127, 0x40}));
    // A snapshot whose every change is out of range sends no batch at all.
    host.calls.clear();
    Translate(Down({0, firstTooHigh - 1}));
    EXPECT_TRUE(host.calls.empty());
    // The pad protocol passes the pad numbers on as computed.
    Settings(0, 0, bank);
    Translate(Down({0, firstTooHigh - 1, kPads - 1}));
    ASSERT_EQ(host.calls.size(), 1u);
    EXPECT_EQ(host.calls[0].argument, bank * kStride + kPads - 1);
}

TEST_F(KeyTranslationTest, NoMidiDataByteEverReaches0x80) {
    for (int32_t bank :
         {INT32_MIN, -100, -6, -3, -1, 0, 1, 2, 5, 100, INT32_MAX / kStride, INT32_MAX}) {
        host.calls.clear();
        Settings(1, 0x7FFFFFFF, bank);
        Keys all;
        std::memset(all.bytes, 0xFF, sizeof all.bytes);
        Translate(all);
        Translate(Keys{});
        for (const HostCall& call : host.calls) {
            if (call.code != QP240REMOTE_CODE_MIDI_BYTES)
                continue;
            ASSERT_EQ(call.argument % 3, 0);
            for (size_t i = 0; i < call.bytes.size(); i += 3) {
                EXPECT_GE(call.bytes[i], 0x80) << "status byte, bank " << bank;
                EXPECT_LT(call.bytes[i + 1], 0x80) << "note, bank " << bank;
                EXPECT_LT(call.bytes[i + 2], 0x80) << "velocity, bank " << bank;
            }
        }
    }
}

TEST_F(KeyTranslationTest, PadNumbersWrapIn32BitsForAnyPadBank) {
    Settings(0, 0, INT32_MAX);
    Translate(Down({1}));
    ASSERT_EQ(host.calls.size(), 1u);
    EXPECT_EQ(host.calls[0].argument,
              static_cast<int32_t>(static_cast<uint32_t>(INT32_MAX) * kStride + 1u));
}

}  // namespace
