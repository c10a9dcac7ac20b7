// The signed 16-bit halves a window message packs into wParam or lParam:
// pointer coordinates and wheel steps, negative ones included.
#pragma once

#include <cstdint>

inline int32_t LowSigned(uint64_t value) {
    return static_cast<int16_t>(value & 0xFFFF);
}

inline int32_t HighSigned(uint64_t value) {
    return static_cast<int16_t>((value >> 16) & 0xFFFF);
}
