// Where each deliverable keeps its settings, and how the stored bytes read.
#include "config/settings_key.h"

#include <cstring>

#include <gtest/gtest.h>

#include "base/variant_profile.h"

namespace {

TEST(SettingsKeyPath, NamesEachDeliverablesOwnGuid) {
    char path[kSettingsKeyPathSize];
    std::memset(path, 'x', sizeof path);
    FormatSettingsKeyPath(kProfile32Keys.guid, path);
    EXPECT_STREQ(path, "Lorendel\\QP240_Remote\\{057908FD-45D9-4A2C-8ABD-AFD1667DB9C5}");
    // The path fills its buffer exactly: base, backslash, 38 characters, zero.
    EXPECT_EQ(std::strlen(path) + 1, sizeof path);

    FormatSettingsKeyPath(kProfile15Keys.guid, path);
    EXPECT_STREQ(path, "Lorendel\\QP240_Remote\\{0CF437EC-FB6C-4341-8CD3-9DB826743B3E}");

    // The build's own variant uses the one matching its profile.
    FormatSettingsKeyPath(kProfile.guid, path);
    EXPECT_NE(std::strstr(path, kProfile.keyCount == 32 ? "{057908FD" : "{0CF437EC"), nullptr);
}

TEST(SettingsValueBytes, AreLittleEndianAndTakenWithoutARangeCheck) {
    const int32_t values[] = {0, 1, 15, 200, -1, INT32_MIN, INT32_MAX, 0x01020304};
    for (int32_t value : values) {
        uint8_t bytes[kSettingsValueSize];
        SettingsValueToBytes(value, bytes);
        EXPECT_EQ(SettingsValueFromBytes(bytes), value);
    }
    uint8_t bytes[kSettingsValueSize];
    SettingsValueToBytes(200, bytes);
    EXPECT_EQ(bytes[0], 200);
    EXPECT_EQ(bytes[1] | bytes[2] | bytes[3], 0);
    const uint8_t stored[kSettingsValueSize] = {0x04, 0x03, 0x02, 0x01};
    EXPECT_EQ(SettingsValueFromBytes(stored), 0x01020304);
}

}  // namespace
