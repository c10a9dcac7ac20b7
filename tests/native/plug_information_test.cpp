// The self-descriptions byte for byte, in the variant this program is built for.
#include "driver/plug_information.h"

#include <cstring>

#include <gtest/gtest.h>

#include "driver/guid_text.h"
#include "driver/version.h"
#include "include/qp240_remote.h"

namespace {

uint32_t WordAt(size_t offset) {
    const uint8_t* b = kPlugInformation.bytes + offset;
    return b[0] | b[1] << 8 | b[2] << 16 | static_cast<uint32_t>(b[3]) << 24;
}

TEST(ArchitectureText, IsFortyTwoCharactersEndingInASpaceThenAZero) {
    EXPECT_EQ(sizeof kArchitectureText, 43u);
    EXPECT_EQ(kArchitectureText[41], ' ');
    EXPECT_EQ(kArchitectureText[42], '\0');
    EXPECT_EQ(std::strlen(kArchitectureText), 42u);
}

TEST(PlugInformation, TextFieldsArePaddedWithZerosToTheirEnds) {
    ASSERT_EQ(sizeof kPlugInformation.bytes, size_t{QP240REMOTE_PLUG_INFORMATION_SIZE});
    const struct {
        size_t offset, width;
        const char* text;
    } fields[] = {{0x000, 128, kProfile.modelName},
                  {0x080, 256, "HID Remote Driver"},
                  {0x180, 1184, kProfile.moduleName}};
    for (const auto& field : fields) {
        const size_t length = std::strlen(field.text);
        EXPECT_EQ(0, std::memcmp(kPlugInformation.bytes + field.offset, field.text, length));
        for (size_t i = length; i < field.width; ++i)
            ASSERT_EQ(kPlugInformation.bytes[field.offset + i], 0) << field.text << " +" << i;
    }
}

TEST(PlugInformation, NumbersAndGuidSitAtTheirOffsets) {
    EXPECT_EQ(0, std::memcmp(kPlugInformation.bytes + 0x620, kProfile.guid, 16));
    EXPECT_EQ(kPlugInformation.bytes[0x632], KOLMAR_KEY_COUNT == 32 ? 12 : 13);
    EXPECT_EQ(WordAt(0x630),
              static_cast<uint32_t>(KOLMAR_KEY_COUNT == 32 ? 0x000C0000 : 0x000D0000));
    EXPECT_EQ(WordAt(0x634), uint32_t{KOLMAR_VERSION_MAJOR} << 24 | KOLMAR_VERSION_MINOR << 16 |
                                 KOLMAR_VERSION_PATCH << 8 | KOLMAR_VERSION_TWEAK);
    EXPECT_EQ(WordAt(0x638), 4100u);
    EXPECT_EQ(WordAt(0x63C), 0x40000180u);
    EXPECT_EQ(WordAt(0x640), 0u);
    EXPECT_EQ(WordAt(0x644), 600u);
    EXPECT_EQ(WordAt(0x648), 500u);
    for (size_t i = 0x64C; i < QP240REMOTE_PLUG_INFORMATION_SIZE; ++i)
        ASSERT_EQ(kPlugInformation.bytes[i], 0) << "offset " << i;
}

TEST(PlugInformation, VersionReadsMostSignificantByteFirst) {
    EXPECT_EQ(PlugVersionByte(kPlugInformation, 0), KOLMAR_VERSION_MAJOR);
    EXPECT_EQ(PlugVersionByte(kPlugInformation, 1), KOLMAR_VERSION_MINOR);
    EXPECT_EQ(PlugVersionByte(kPlugInformation, 2), KOLMAR_VERSION_PATCH);
    EXPECT_EQ(PlugVersionByte(kPlugInformation, 3), KOLMAR_VERSION_TWEAK);
}

TEST(GuidText, BothDeliverablesGuidsReadAsPublished) {
    char text[kGuidTextSize];
    FormatGuidText(kProfile32Keys.guid, text);
    EXPECT_STREQ(text, "{057908FD-45D9-4A2C-8ABD-AFD1667DB9C5}");
    FormatGuidText(kProfile15Keys.guid, text);
    EXPECT_STREQ(text, "{0CF437EC-FB6C-4341-8CD3-9DB826743B3E}");
}

}  // namespace
