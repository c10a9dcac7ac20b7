#include "driver/library_state.h"

#include <cstring>

LibraryState g_library = {nullptr, 0, 0, 0, {nullptr, nullptr}, "no-error"};

void SetLastErrorText(const char* text) {
    // Every text the library records is a short constant; the bound only
    // guards the buffer.
    const size_t length = strnlen(text, kLastErrorTextSize - 1);
    std::memcpy(g_library.lastErrorText, text, length);
    g_library.lastErrorText[length] = '\0';
}
