#include "config/settings_key.h"

#include <cstdio>

void FormatSettingsKeyPath(const uint8_t guid[16], char out[kSettingsKeyPathSize]) {
    char guidText[kGuidTextSize];
    FormatGuidText(guid, guidText);
    std::snprintf(out, kSettingsKeyPathSize, "%s\\%s", kSettingsKeyBase, guidText);
}

int32_t SettingsValueFromBytes(const uint8_t bytes[kSettingsValueSize]) {
    const uint32_t value = static_cast<uint32_t>(bytes[0]) | static_cast<uint32_t>(bytes[1]) << 8 |
                           static_cast<uint32_t>(bytes[2]) << 16 |
                           static_cast<uint32_t>(bytes[3]) << 24;
    return static_cast<int32_t>(value);
}

void SettingsValueToBytes(int32_t value, uint8_t bytes[kSettingsValueSize]) {
    const uint32_t bits = static_cast<uint32_t>(value);
    for (uint32_t i = 0; i < kSettingsValueSize; ++i)
        bytes[i] = static_cast<uint8_t>(bits >> (8 * i));
}
