// The two keypad families and their DLLs as a host knows them: the DLL's file,
// what its plug information says of it, its keypads' keys and the keypad
// picture its box shows. The end-to-end tests hold each DLL to its row.
#pragma once

#include <cstddef>
#include <cstdint>

#include "tools/host_simulator/keypad_reports.h"

struct KeypadFamily {
    const char* deliverableName;  // the DLL's file name without ".dll"
    const char* modelName;        // the plug information's model
    const char* moduleName;       // the plug information's module: the export directory's
    const char* guid;             // the plug information's GUID, braced: the settings key's
    int32_t keyCount;             // keys of its keypads
    int32_t padKeyCount;          // keys 0..padKeyCount-1 are pads, then StopAllPads and
                                  // StopAllPlists
    int32_t pictureWidth;         // the keypad picture its box shows
    int32_t pictureHeight;
    uint16_t productIds[kKeypadModelCount];  // its models', in kKeypadModels' order
    int32_t productIdCount;
};

// A family, its products taken from the models with its key count.
constexpr KeypadFamily Family(const char* deliverableName, const char* modelName,
                              const char* moduleName, const char* guid, int32_t keyCount,
                              int32_t padKeyCount, int32_t pictureWidth, int32_t pictureHeight) {
    KeypadFamily family = {deliverableName, modelName,    moduleName,    guid, keyCount,
                           padKeyCount,     pictureWidth, pictureHeight, {},   0};
    for (const KeypadModel& model : kKeypadModels)
        if (model.keyCount == keyCount)
            family.productIds[family.productIdCount++] = model.productId;
    return family;
}

// DLL, model, module, GUID, keys, pads, picture width and height.
inline constexpr KeypadFamily kKeypadFamilies[] = {
    Family("Kolmar32Keys", "Stream Deck XL", "Kolmar32Keys",
           "{057908FD-45D9-4A2C-8ABD-AFD1667DB9C5}", 32, 30, 240, 120),
    Family("Kolmar15Keys", "Stream Deck 15", "KolmarKeys", "{0CF437EC-FB6C-4341-8CD3-9DB826743B3E}",
           15, 13, 220, 131),
};
inline constexpr int32_t kKeypadFamilyCount = sizeof kKeypadFamilies / sizeof kKeypadFamilies[0];
inline constexpr const KeypadFamily& kFamily32Keys = kKeypadFamilies[0];
inline constexpr const KeypadFamily& kFamily15Keys = kKeypadFamilies[1];

// The StopAllPads key, the first after the pads; StopAllPlists follows it.
constexpr int32_t StopAllPadsKey(const KeypadFamily& family) {
    return family.padKeyCount;
}

// The family that takes `product`, or null.
const KeypadFamily* FamilyOfProduct(uint32_t product);

// 16 bytes in the standard GUID layout as braced text, as the families write
// their GUIDs.
inline constexpr size_t kBracedGuidSize = 39;  // 38 characters and the zero
void FormatGuid(const uint8_t bytes[16], char out[kBracedGuidSize]);

// The family whose GUID a plug information block carries, or null.
const KeypadFamily* FamilyOfPlugInformation(const uint8_t* block);
