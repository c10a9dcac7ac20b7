// The constants that tell the two deliverables apart. Both profiles are
// compile-time values; the build selects one of them through KOLMAR_KEY_COUNT
// (32 or 15), so no code path ever chooses a variant at run time.
#pragma once

#include <cstdint>
#include <initializer_list>

#include "base/version.h"
#include "include/qp240_remote.h"

inline constexpr int32_t kMaxProductIds = 5;

struct VariantProfile {
    const char* deliverableName;          // Kolmar32Keys / Kolmar15Keys: version record, file name
    const char* modelName;                // keypad model: plug information, box title lines
    const char* moduleName;               // module name in the plug information
    uint8_t guid[16];                     // standard 16-byte GUID layout: signature, registry key
    uint8_t plugNumber;                   // byte at plug-information offset 0x632
    int32_t keyCount;                     // bytes per key-state snapshot
    int32_t padKeyCount;                  // keys 0..padKeyCount-1 are pads (or notes)
    int32_t padStride;                    // pad number = PadBank * padStride + key index
    int32_t stopAllPadsKey;               // key index of the StopAllPads command
    int32_t stopAllPlistsKey;             // key index of the StopAllPlists command
    uint16_t productIds[kMaxProductIds];  // accepted USB product ids, in the order tested
    int32_t productIdCount;
    uint16_t reversedRowsProduct;  // product whose keys sit in report bytes 1..15 by reversed
                                   // rows of five; 0 when the family has none
    uint32_t minimumReportLength;  // shortest report any product of the family may send
    int32_t tooShortStatus;        // intake result for a report below that length
    uint32_t minimumKeyBytesFrom4Length;  // 15 keys: shortest report with keys from byte 4
    int32_t tooShortFrom4Status;          // 15 keys: result for a report shorter than that
    const char* midiCaption;              // configuration box text for the MIDI key mode
    int32_t pictureWidth;                 // the keypad picture, 24 bits per pixel
    int32_t pictureHeight;
};

// Common to both families.
inline constexpr uint8_t kDriverVersion[4] = {KOLMAR_VERSION_MAJOR, KOLMAR_VERSION_MINOR,
                                              KOLMAR_VERSION_PATCH, KOLMAR_VERSION_TWEAK};

// The two array fields, filled from a list so that a profile reads as
// name = value throughout.
constexpr void SetProfileGuid(VariantProfile& profile, std::initializer_list<uint8_t> bytes) {
    int32_t i = 0;
    for (const uint8_t byte : bytes)
        profile.guid[i++] = byte;
}
constexpr void SetProfileProductIds(VariantProfile& profile, std::initializer_list<uint16_t> ids) {
    profile.productIdCount = 0;
    for (const uint16_t id : ids)
        profile.productIds[profile.productIdCount++] = id;
}

constexpr VariantProfile MakeProfile32Keys() {
    VariantProfile profile{};
    profile.deliverableName = "Kolmar32Keys";
    profile.modelName = "Stream Deck XL";
    profile.moduleName = "Kolmar32Keys";
    SetProfileGuid(profile, {0xFD, 0x08, 0x79, 0x05, 0xD9, 0x45, 0x2C, 0x4A, 0x8A, 0xBD, 0xAF, 0xD1,
                             0x66, 0x7D, 0xB9, 0xC5});
    profile.plugNumber = 12;
    profile.keyCount = 32;
    profile.padKeyCount = 30;
    profile.padStride = 25;
    profile.stopAllPadsKey = 30;
    profile.stopAllPlistsKey = 31;
    SetProfileProductIds(profile, {0x008F, 0x006C, 0x00BA});
    profile.reversedRowsProduct = 0;
    profile.minimumReportLength = 36;
    profile.tooShortStatus = QP240REMOTE_E_REPORT_TOO_SHORT;
    profile.minimumKeyBytesFrom4Length = 36;
    profile.tooShortFrom4Status = QP240REMOTE_E_REPORT_TOO_SHORT;
    profile.midiCaption = "30x MIDI Note On + 2x Stop All";
    profile.pictureWidth = 240;
    profile.pictureHeight = 120;
    return profile;
}

constexpr VariantProfile MakeProfile15Keys() {
    VariantProfile profile{};
    profile.deliverableName = "Kolmar15Keys";
    profile.modelName = "Stream Deck 15";
    profile.moduleName = "KolmarKeys";
    SetProfileGuid(profile, {0xEC, 0x37, 0xF4, 0x0C, 0x6C, 0xFB, 0x41, 0x43, 0x8C, 0xD3, 0x9D, 0xB8,
                             0x26, 0x74, 0x3B, 0x3E});
    profile.plugNumber = 13;
    profile.keyCount = 15;
    profile.padKeyCount = 13;
    profile.padStride = 12;
    profile.stopAllPadsKey = 13;
    profile.stopAllPlistsKey = 14;
    SetProfileProductIds(profile, {0x0060, 0x006D, 0x0080, 0x00A5, 0x00B9});
    profile.reversedRowsProduct = 0x0060;
    profile.minimumReportLength = 17;
    profile.tooShortStatus = QP240REMOTE_E_REPORT_TOO_SHORT_15;
    profile.minimumKeyBytesFrom4Length = 19;
    profile.tooShortFrom4Status = QP240REMOTE_E_KEYS_TOO_SHORT_15;
    profile.midiCaption = "13x MIDI Note On + 2x Stop All";
    profile.pictureWidth = 220;
    profile.pictureHeight = 131;
    return profile;
}

inline constexpr VariantProfile kProfile32Keys = MakeProfile32Keys();
inline constexpr VariantProfile kProfile15Keys = MakeProfile15Keys();
// Both families, for the host side that serves either.
inline constexpr const VariantProfile* kFamilies[] = {&kProfile32Keys, &kProfile15Keys};
inline constexpr int32_t kFamilyCount = sizeof kFamilies / sizeof kFamilies[0];

// The host side (the simulator, the end-to-end tests) builds without a variant
// and sees only the two profiles above.
#ifdef KOLMAR_KEY_COUNT
#if KOLMAR_KEY_COUNT == 32
inline constexpr const VariantProfile& kProfile = kProfile32Keys;
#elif KOLMAR_KEY_COUNT == 15
inline constexpr const VariantProfile& kProfile = kProfile15Keys;
#else
#error "KOLMAR_KEY_COUNT must be 32 or 15"
#endif

// The most MIDI bytes one snapshot can produce: three per pad key.
inline constexpr int32_t kMaxMidiBytesPerSnapshot = kProfile.padKeyCount * 3;
#endif
