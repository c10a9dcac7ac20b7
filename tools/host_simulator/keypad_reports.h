// The supported keypad models as the host sees them: which family each USB
// product belongs to, how long its input reports are, where its key states
// sit in them, and the raw-input record a host hands the driver with id 55.
#pragma once

#include <cstddef>
#include <cstdint>
#include <windows.h>

#include "include/qp240_remote.h"

inline constexpr int32_t kMaxKeypadKeys = 32;

struct KeypadModel {
    uint16_t productId;
    int32_t keyCount;       // 32 or 15: the family
    uint32_t reportLength;  // bytes in each input report, report id included
    bool reversedRows;      // keys in report bytes 1..15, each row of five right to left;
                            // otherwise keys from report byte 4
};

// The models with keys from byte 4 send 512-byte reports: a report id, three
// header bytes, then a byte per key. Product 0x60 sends 17: a report id, then
// three rows of five keys, each row right to left, and one spare byte.
inline constexpr uint32_t kLongReport = 512;
inline constexpr uint32_t kShortReport = 17;

// The eight supported products, each family's in the order its DLL tries them.
inline constexpr int32_t kKeypadModelCount = 8;
inline constexpr KeypadModel kKeypadModels[kKeypadModelCount] = {
    {0x008F, 32, kLongReport, false}, {0x006C, 32, kLongReport, false},
    {0x00BA, 32, kLongReport, false}, {0x0060, 15, kShortReport, true},
    {0x006D, 15, kLongReport, false}, {0x0080, 15, kLongReport, false},
    {0x00A5, 15, kLongReport, false}, {0x00B9, 15, kLongReport, false},
};

// The model of a USB product, or null when the product is not supported.
const KeypadModel* FindKeypadModel(uint32_t productId);

// Writes `model`'s input report for `keyStates` (one byte per key, bit 0 set
// while down) into `report`, which holds at least model.reportLength bytes.
// Returns the report's length.
uint32_t BuildKeypadReport(const KeypadModel& model, const uint8_t* keyStates, uint8_t* report);

// Room for a 64-bit RAWINPUT record of a HID device (the offsets the driver
// reads are the public header's) with a report of up to 1024 bytes.
inline constexpr size_t kRawInputRecordRoom = QP240REMOTE_RAWINPUT_REPORT_OFFSET + 1024;

// Wraps a report of `device` as the system's RAWINPUT record: dwType HID,
// dwSize, hDevice at 8, wParam, dwSizeHid at 24, dwCount 1, the bytes from
// 32. `statedLength` is what dwSizeHid claims (normally `length`). Returns the
// record's size, or 0 when it does not fit `room`.
size_t WrapRawInputRecord(HANDLE device, const uint8_t* report, uint32_t length,
                          uint32_t statedLength, uint8_t* record, size_t room);
