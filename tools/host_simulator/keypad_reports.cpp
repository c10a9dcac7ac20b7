#include "tools/host_simulator/keypad_reports.h"

#include <cstddef>
#include <cstring>

static constexpr uint8_t kInputReportId = 0x01;
static constexpr int32_t kRowLength = 5;

const KeypadModel* FindKeypadModel(uint32_t productId) {
    for (const KeypadModel& model : kKeypadModels)
        if (model.productId == productId)
            return &model;
    return nullptr;
}

uint32_t BuildKeypadReport(const KeypadModel& model, const uint8_t* keyStates, uint8_t* report) {
    std::memset(report, 0, model.reportLength);
    report[0] = kInputReportId;
    for (int32_t k = 0; k < model.keyCount; ++k) {
        const uint8_t down = keyStates[k] & 1;
        if (model.reversedRows)
            report[kRowLength * (k / kRowLength) + kRowLength - k % kRowLength] = down;
        else
            report[4 + k] = down;
    }
    if (!model.reversedRows) {
        report[2] = static_cast<uint8_t>(model.keyCount);  // header: keys that follow
    }
    return model.reportLength;
}

size_t WrapRawInputRecord(HANDLE device, const uint8_t* report, uint32_t length,
                          uint32_t statedLength, uint8_t* record, size_t room) {
    const size_t size = QP240REMOTE_RAWINPUT_REPORT_OFFSET + length;
    if (size > room)
        return 0;
    const uint32_t type = RIM_TYPEHID;
    const uint32_t recordSize = static_cast<uint32_t>(size);
    const uint64_t wParam = RIM_INPUT;
    const uint32_t count = 1;
    std::memset(record, 0, QP240REMOTE_RAWINPUT_REPORT_OFFSET);
    std::memcpy(record + 0, &type, sizeof type);
    std::memcpy(record + 4, &recordSize, sizeof recordSize);
    std::memcpy(record + QP240REMOTE_RAWINPUT_DEVICE_OFFSET, &device, sizeof device);
    std::memcpy(record + 16, &wParam, sizeof wParam);
    std::memcpy(record + QP240REMOTE_RAWINPUT_REPORT_SIZE_OFFSET, &statedLength,
                sizeof statedLength);
    std::memcpy(record + 28, &count, sizeof count);
    std::memcpy(record + QP240REMOTE_RAWINPUT_REPORT_OFFSET, report, length);
    return size;
}

static_assert(offsetof(RAWINPUT, header.hDevice) == QP240REMOTE_RAWINPUT_DEVICE_OFFSET,
              "hDevice at 8");
static_assert(offsetof(RAWINPUT, data.hid.dwSizeHid) == QP240REMOTE_RAWINPUT_REPORT_SIZE_OFFSET,
              "dwSizeHid at 24");
static_assert(offsetof(RAWINPUT, data.hid.bRawData) == QP240REMOTE_RAWINPUT_REPORT_OFFSET,
              "report at 32");
