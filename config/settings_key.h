// Where the settings live: the per-user registry key named by the
// deliverable's GUID, and the names of its two values. Text only, so it builds
// natively.
#pragma once

#include <cstddef>
#include <cstdint>

#include "config/guid_text.h"

inline constexpr char kSettingsKeyBase[] = "Lorendel\\QP240_Remote";
// The base, a backslash, the 38-character GUID text and the zero.
inline constexpr size_t kSettingsKeyPathSize = sizeof kSettingsKeyBase + kGuidTextSize;

inline constexpr char kSettingsKeyModeValue[] = "GenStatus";  // the key mode
inline constexpr char kSettingsChannelValue[] = "Channel";    // the 0-based MIDI channel

// Both values are REG_BINARY of exactly 4 bytes: a little-endian int32.
inline constexpr uint32_t kSettingsValueSize = 4;

// "Lorendel\QP240_Remote\{...}" under HKEY_CURRENT_USER, for the GUID's 16
// bytes in the standard layout.
void FormatSettingsKeyPath(const uint8_t guid[16], char out[kSettingsKeyPathSize]);

// The stored bytes as the int32 they hold. A shorter binary value fills only
// the first bytes of the buffer; the caller zeroes it first, so the rest reads 0.
int32_t SettingsValueFromBytes(const uint8_t bytes[kSettingsValueSize]);
void SettingsValueToBytes(int32_t value, uint8_t bytes[kSettingsValueSize]);
