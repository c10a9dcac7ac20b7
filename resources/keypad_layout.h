// How the keys sit on each keypad: row by row from the top left, as many to a
// row as the keypad has columns. The keypad pictures and the key maps both
// follow it.
#pragma once

#include "base/variant_profile.h"

struct KeypadLayout {
    const VariantProfile* profile;
    int columns;
};

inline constexpr KeypadLayout kKeypadLayouts[] = {
    {&kProfile32Keys, 8},  // four rows of eight
    {&kProfile15Keys, 5},  // three rows of five
};
