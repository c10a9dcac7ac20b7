// The self-descriptions byte for byte, in the variant this program is built for.
#include "base/plug_information.h"

#include <cstring>

#include <gtest/gtest.h>

#include "config/guid_text.h"
#include "base/version.h"
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

// The block as the deliverables document it, for the variant built here:
// texts, and every byte from the GUID to the end but the version word.
struct DocumentedBlock {
    const char* model;
    const char* module;
    uint8_t guidAndNumber[20];  // 0x620..0x633
};
constexpr DocumentedBlock kDocumented32Keys = {
    "Stream Deck XL", "Kolmar32Keys", {0xFD, 0x08, 0x79, 0x05, 0xD9, 0x45, 0x2C, 0x4A, 0x8A, 0xBD,
                                       0xAF, 0xD1, 0x66, 0x7D, 0xB9, 0xC5, 0x00, 0x00, 0x0C, 0x00}};
constexpr DocumentedBlock kDocumented15Keys = {
    "Stream Deck 15", "KolmarKeys", {0xEC, 0x37, 0xF4, 0x0C, 0x6C, 0xFB, 0x41, 0x43, 0x8C, 0xD3,
                                     0x9D, 0xB8, 0x26, 0x74, 0x3B, 0x3E, 0x00, 0x00, 0x0D, 0x00}};
constexpr const DocumentedBlock& kDocumented =
    KOLMAR_KEY_COUNT == 32 ? kDocumented32Keys : kDocumented15Keys;
// 0x638..0x64B, the same in both: 4100, 0x40000180, 0, 600, 500.
constexpr uint8_t kDocumentedHostWords[20] = {0x04, 0x10, 0x00, 0x00, 0x80, 0x01, 0x00,
                                              0x40, 0x00, 0x00, 0x00, 0x00, 0x58, 0x02,
                                              0x00, 0x00, 0xF4, 0x01, 0x00, 0x00};

TEST(PlugInformation, TextFieldsArePaddedWithZerosToTheirEnds) {
    ASSERT_EQ(sizeof kPlugInformation.bytes, size_t{QP240REMOTE_PLUG_INFORMATION_SIZE});
    const struct {
        size_t offset, width;
        const char* text;
    } fields[] = {{0x000, 128, kDocumented.model},
                  {0x080, 256, "HID Remote Driver"},
                  {0x180, 1184, kDocumented.module}};
    for (const auto& field : fields) {
        const size_t length = std::strlen(field.text);
        EXPECT_EQ(0, std::memcmp(kPlugInformation.bytes + field.offset, field.text, length));
        for (size_t i = length; i < field.width; ++i)
            ASSERT_EQ(kPlugInformation.bytes[field.offset + i], 0) << field.text << " +" << i;
    }
}

TEST(PlugInformation, NumbersAndGuidAreTheDocumentedBytes) {
    for (size_t i = 0; i < sizeof kDocumented.guidAndNumber; ++i)
        EXPECT_EQ(kPlugInformation.bytes[0x620 + i], kDocumented.guidAndNumber[i])
            << "offset " << i;
    EXPECT_EQ(0, std::memcmp(kPlugInformation.bytes + 0x620, kProfile.guid, 16))
        << "the GUID is also the instance signature and the settings key";
    EXPECT_EQ(WordAt(0x634), uint32_t{KOLMAR_VERSION_MAJOR} << 24 | KOLMAR_VERSION_MINOR << 16 |
                                 KOLMAR_VERSION_PATCH << 8 | KOLMAR_VERSION_TWEAK);
    for (size_t i = 0; i < sizeof kDocumentedHostWords; ++i)
        EXPECT_EQ(kPlugInformation.bytes[0x638 + i], kDocumentedHostWords[i]) << "offset " << i;
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
