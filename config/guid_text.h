// A GUID's 16 bytes (standard layout: a little-endian 32-bit, two little-endian
// 16-bit groups, then 8 bytes in written order) as the usual braced text.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>

inline constexpr size_t kGuidTextSize = 39;  // 38 characters and the zero

inline void FormatGuidText(const uint8_t guid[16], char out[kGuidTextSize]) {
    const unsigned long data1 =
        static_cast<unsigned long>(guid[0]) | static_cast<unsigned long>(guid[1]) << 8 |
        static_cast<unsigned long>(guid[2]) << 16 | static_cast<unsigned long>(guid[3]) << 24;
    const unsigned data2 = guid[4] | guid[5] << 8;
    const unsigned data3 = guid[6] | guid[7] << 8;
    std::snprintf(out, kGuidTextSize, "{%08lX-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}", data1,
                  data2, data3, guid[8], guid[9], guid[10], guid[11], guid[12], guid[13], guid[14],
                  guid[15]);
}
