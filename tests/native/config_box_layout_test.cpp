// The configuration box's geometry, click arithmetic and texts, apart from any
// window: the edges that decide a hit, the wrap of both settings at the ends of
// the 32-bit range, and texts that must fit their buffer whatever fills them.
#include "config/config_box_layout.h"
#include "base/variant_profile.h"

#include <climits>
#include <cstdio>
#include <cstring>

#include <gtest/gtest.h>

#include "base/version.h"

namespace {

const FieldRect kClient = {0, 0, 600, 300};

void ExpectRect(const FieldRect& actual, int32_t left, int32_t top, int32_t right, int32_t bottom) {
    EXPECT_EQ(actual.left, left);
    EXPECT_EQ(actual.top, top);
    EXPECT_EQ(actual.right, right);
    EXPECT_EQ(actual.bottom, bottom);
}

TEST(ConfigBoxLayout, FieldsAndTextsSitAtTheirOffsetsFromTheClientEdges) {
    ExpectRect(ModeFieldRect(kClient), 250, 150, 580, 204);
    ExpectRect(ChannelFieldRect(kClient), 250, 230, 580, 284);
    ExpectRect(FieldLabelRect(ModeFieldRect(kClient)), 256, 156, 580, 204);
    ExpectRect(FieldLabelRect(ChannelFieldRect(kClient)), 256, 236, 580, 284);
    ExpectRect(ConfigTextColumn(kClient), 200, 10, 590, 300);
    // Relative to the client rectangle, wherever it starts.
    ExpectRect(ModeFieldRect(FieldRect{5, 7, 405, 207}), 255, 157, 385, 211);
}

TEST(ConfigBoxLayout, OnlyPointsStrictlyInsideAFieldHitIt) {
    const FieldRect field = ModeFieldRect(kClient);
    EXPECT_TRUE(FieldHit(field, 251, 151));
    EXPECT_TRUE(FieldHit(field, 579, 203));
    EXPECT_TRUE(FieldHit(field, 400, 170));
    // On the outline: every edge misses.
    EXPECT_FALSE(FieldHit(field, 250, 170));
    EXPECT_FALSE(FieldHit(field, 580, 170));
    EXPECT_FALSE(FieldHit(field, 400, 150));
    EXPECT_FALSE(FieldHit(field, 400, 204));
    // Between the two fields.
    EXPECT_FALSE(FieldHit(field, 400, 217));
    EXPECT_FALSE(FieldHit(ChannelFieldRect(kClient), 400, 217));
    // Before the first paint the rectangles are zero and nothing hits them.
    EXPECT_FALSE(FieldHit(FieldRect{0, 0, 0, 0}, 0, 0));
}

TEST(ConfigBoxLayout, AClientAtMost270WideLeavesNoFieldToHit) {
    for (int32_t width : {270, 260, 100, 0}) {
        const FieldRect client = {0, 0, width, 300};
        const FieldRect mode = ModeFieldRect(client);
        EXPECT_LE(mode.right, mode.left) << width;
        for (int32_t x = -16; x < 300; ++x)
            ASSERT_FALSE(FieldHit(mode, x, 170)) << width << " at " << x;
    }
    const FieldRect mode = ModeFieldRect(FieldRect{0, 0, 272, 300});
    EXPECT_TRUE(FieldHit(mode, 251, 170));
}

TEST(ConfigBoxLayout, KeyModeTogglesAndChannelWrapsOverTheWholeRange) {
    EXPECT_EQ(ToggledKeyMode(0), 1);
    EXPECT_EQ(ToggledKeyMode(1), 0);
    EXPECT_EQ(ToggledKeyMode(7), 0);
    EXPECT_EQ(ToggledKeyMode(6), 1);
    EXPECT_EQ(ToggledKeyMode(-1), 0);
    EXPECT_EQ(ToggledKeyMode(-2), 1);
    EXPECT_EQ(ToggledKeyMode(INT32_MIN), 1);
    EXPECT_EQ(ToggledKeyMode(INT32_MAX), 0);

    int32_t channel = 3;
    for (int i = 0; i < 16; ++i)
        channel = NextMidiChannel(channel);
    EXPECT_EQ(channel, 3);
    EXPECT_EQ(NextMidiChannel(15), 0);
    EXPECT_EQ(NextMidiChannel(200), 9);
    EXPECT_EQ(NextMidiChannel(-1), 0);
    EXPECT_EQ(NextMidiChannel(INT32_MAX), 0);
    EXPECT_EQ(NextMidiChannel(INT32_MIN), 1);
}

TEST(ConfigBoxLayout, ChannelTextShowsTheChannelPlusOneForAny32BitValue) {
    const struct {
        int32_t channel;
        const char* text;
    } cases[] = {{0, "Channel 1"},
                 {15, "Channel 16"},
                 {200, "Channel 201"},
                 {-1, "Channel 0"},
                 {INT32_MIN, "Channel -2147483647"},
                 {INT32_MAX, "Channel -2147483648"},
                 {INT32_MAX - 1, "Channel 2147483647"}};
    for (const auto& c : cases) {
        char text[kConfigTextSize];
        std::memset(text, 'x', sizeof text);
        FormatChannelText(text, c.channel);
        EXPECT_STREQ(text, c.text);
    }
}

TEST(ConfigBoxLayout, KeyModeAndVersionTexts) {
    EXPECT_STREQ(KeyModeText(0), "Vuvazi Verov Pad Protocol");
    const char* midi = kProfile.keyCount == 32 ? "30x MIDI Note On + 2x Stop All"
                                               : "13x MIDI Note On + 2x Stop All";
    EXPECT_STREQ(KeyModeText(1), midi);
    EXPECT_STREQ(KeyModeText(7), midi);
    EXPECT_STREQ(KeyModeText(-1), midi);

    char version[kConfigTextSize];
    FormatVersionText(version);
    char expected[kConfigTextSize];
    std::snprintf(expected, sizeof expected, "(Version : %d,%d,%d,%d)", KOLMAR_VERSION_MAJOR,
                  KOLMAR_VERSION_MINOR, KOLMAR_VERSION_PATCH, KOLMAR_VERSION_TWEAK);
    EXPECT_STREQ(version, expected);
}

}  // namespace
