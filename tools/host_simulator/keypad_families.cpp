#include "tools/host_simulator/keypad_families.h"

#include <cstring>
#include <windows.h>
#include <objbase.h>

const KeypadFamily* FamilyOfProduct(uint32_t product) {
    const KeypadModel* model = FindKeypadModel(product);
    for (const KeypadFamily& family : kKeypadFamilies)
        if (model != nullptr && model->keyCount == family.keyCount)
            return &family;
    return nullptr;
}

void FormatGuid(const uint8_t bytes[16], char out[kBracedGuidSize]) {
    GUID guid;
    std::memcpy(&guid, bytes, sizeof guid);
    wchar_t text[kBracedGuidSize];
    if (StringFromGUID2(guid, text, kBracedGuidSize) == 0 ||
        WideCharToMultiByte(CP_ACP, 0, text, -1, out, kBracedGuidSize, nullptr, nullptr) == 0)
        out[0] = '\0';
}

const KeypadFamily* FamilyOfPlugInformation(const uint8_t* block) {
    char guid[kBracedGuidSize];
    FormatGuid(block + QP240REMOTE_PLUG_GUID_OFFSET, guid);
    for (const KeypadFamily& family : kKeypadFamilies)
        if (std::strcmp(guid, family.guid) == 0)
            return &family;
    return nullptr;
}
