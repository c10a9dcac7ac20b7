// The two self-descriptions the host reads before it creates anything: the
// architecture text (index 0) and the PlugInformation block (index 1). Both are
// constants of the deliverable, built at compile time from its VariantProfile.
#pragma once

#include <cstddef>
#include <cstdint>

#include "driver/variant_profile.h"

inline constexpr size_t kArchitectureTextSize = 43;  // 42 characters and the zero
inline constexpr char kArchitectureText[kArchitectureTextSize] =
    "Lorendel QP240 Remote Driver Architecture ";

inline constexpr size_t kPlugInformationSize = 1676;

// Offsets of the block's fields; everything but the model, the GUID and the
// version is there for the host alone and is never read by the driver.
inline constexpr size_t kPlugModelOffset = 0x000;       // 128 bytes of text
inline constexpr size_t kPlugDriverKindOffset = 0x080;  // 256 bytes of text
inline constexpr size_t kPlugModuleOffset = 0x180;      // 1184 bytes of text
inline constexpr size_t kPlugGuidOffset = 0x620;        // 16 bytes
inline constexpr size_t kPlugNumberOffset = 0x630;      // 4 bytes
inline constexpr size_t kPlugVersionOffset = 0x634;     // little-endian 0x01000003

struct PlugInformation {
    uint8_t bytes[kPlugInformationSize];
};

namespace plug_detail {
constexpr void PutText(PlugInformation& block, size_t offset, const char* text) {
    for (size_t i = 0; text[i] != '\0'; ++i)
        block.bytes[offset + i] = static_cast<uint8_t>(text[i]);
}
constexpr void PutWord(PlugInformation& block, size_t offset, uint32_t value) {
    for (size_t i = 0; i < 4; ++i)
        block.bytes[offset + i] = static_cast<uint8_t>(value >> (8 * i));
}
}  // namespace plug_detail

constexpr PlugInformation MakePlugInformation(const VariantProfile& profile) {
    PlugInformation block{};
    plug_detail::PutText(block, kPlugModelOffset, profile.modelName);
    plug_detail::PutText(block, kPlugDriverKindOffset, "HID Remote Driver");
    plug_detail::PutText(block, kPlugModuleOffset, profile.moduleName);
    for (size_t i = 0; i < 16; ++i)
        block.bytes[kPlugGuidOffset + i] = profile.guid[i];
    plug_detail::PutWord(block, kPlugNumberOffset, uint32_t{profile.plugNumber} << 16);
    plug_detail::PutWord(block, kPlugVersionOffset,
                         uint32_t{kDriverVersion[0]} << 24 | uint32_t{kDriverVersion[1]} << 16 |
                             uint32_t{kDriverVersion[2]} << 8 | kDriverVersion[3]);
    plug_detail::PutWord(block, 0x638, 4100);
    plug_detail::PutWord(block, 0x63C, 0x40000180);
    plug_detail::PutWord(block, 0x640, 0);
    plug_detail::PutWord(block, 0x644, 600);
    plug_detail::PutWord(block, 0x648, 500);
    return block;  // 0x64C..0x68B stay zero
}

#ifdef KOLMAR_KEY_COUNT
inline constexpr PlugInformation kPlugInformation = MakePlugInformation(kProfile);
#endif

// The version as the configuration box prints it: the four bytes of the
// block's 32-bit version value, most significant first.
constexpr uint8_t PlugVersionByte(const PlugInformation& block, int fromMostSignificant) {
    return block.bytes[kPlugVersionOffset + 3 - fromMostSignificant];
}
