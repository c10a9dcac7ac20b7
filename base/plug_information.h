// The two self-descriptions the host reads before it creates anything: the
// architecture text (index 0) and the PlugInformation block (index 1). Both are
// constants of the deliverable, built at compile time from its VariantProfile.
#pragma once

#include <cstddef>
#include <cstdint>

#include "base/variant_profile.h"
#include "include/qp240_remote.h"

inline constexpr char kArchitectureText[QP240REMOTE_ARCHITECTURE_TEXT_SIZE] =
    "Lorendel QP240 Remote Driver Architecture ";  // 42 characters and the zero

// The block's fields sit at the public header's offsets. The driver itself
// reads only the model and the version word (the box shows both); the GUID is
// written from the variant profile, which the signature and the settings key
// take theirs from too. The rest is the host's.
inline constexpr char kPlugDriverKind[] = "HID Remote Driver";

// Numbers whose meaning belongs to the host; the driver hands them over
// unchanged and reads none of them.
struct PlugHostWord {
    size_t offset;
    uint32_t value;
};
inline constexpr PlugHostWord kPlugHostWords[] = {
    {QP240REMOTE_PLUG_HOST_WORDS_OFFSET, 4100},
    {QP240REMOTE_PLUG_HOST_WORDS_OFFSET + 4, 0x40000180},
    {QP240REMOTE_PLUG_HOST_WORDS_OFFSET + 8, 0},
    {QP240REMOTE_PLUG_HOST_WORDS_OFFSET + 12, 600},
    {QP240REMOTE_PLUG_HOST_WORDS_OFFSET + 16, 500}};

struct PlugInformation {
    uint8_t bytes[QP240REMOTE_PLUG_INFORMATION_SIZE];
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
    plug_detail::PutText(block, QP240REMOTE_PLUG_MODEL_OFFSET, profile.modelName);
    plug_detail::PutText(block, QP240REMOTE_PLUG_DRIVER_KIND_OFFSET, kPlugDriverKind);
    plug_detail::PutText(block, QP240REMOTE_PLUG_MODULE_OFFSET, profile.moduleName);
    for (size_t i = 0; i < 16; ++i)
        block.bytes[QP240REMOTE_PLUG_GUID_OFFSET + i] = profile.guid[i];
    plug_detail::PutWord(block, QP240REMOTE_PLUG_HOST_NUMBER_OFFSET,
                         uint32_t{profile.plugNumber} << 16);
    plug_detail::PutWord(block, QP240REMOTE_PLUG_VERSION_OFFSET,
                         uint32_t{kDriverVersion[0]} << 24 | uint32_t{kDriverVersion[1]} << 16 |
                             uint32_t{kDriverVersion[2]} << 8 | kDriverVersion[3]);
    for (const PlugHostWord& word : kPlugHostWords)
        plug_detail::PutWord(block, word.offset, word.value);
    return block;  // the 64 bytes after the last host word stay zero
}

#ifdef KOLMAR_KEY_COUNT
inline constexpr PlugInformation kPlugInformation = MakePlugInformation(kProfile);
#endif

// The version as the configuration box prints it: the four bytes of the
// block's 32-bit version value, most significant first.
constexpr uint8_t PlugVersionByte(const PlugInformation& block, int fromMostSignificant) {
    return block.bytes[QP240REMOTE_PLUG_VERSION_OFFSET + 3 - fromMostSignificant];
}
