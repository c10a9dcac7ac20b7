#include "tools/host_simulator/system_error.h"

#include <cstdio>

void DescribeSystemError(char* out, size_t size, DWORD error, const char* subject) {
    char text[256] = "";
    DWORD_PTR inserts[1] = {reinterpret_cast<DWORD_PTR>(subject)};
    const DWORD flags =
        subject != nullptr ? FORMAT_MESSAGE_ARGUMENT_ARRAY : FORMAT_MESSAGE_IGNORE_INSERTS;
    const DWORD length = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | flags, nullptr, error, 0, text,
                                        sizeof text, reinterpret_cast<va_list*>(inserts));
    // The system's text ends with a line break.
    size_t end = length;
    while (end > 0 && (text[end - 1] == '\r' || text[end - 1] == '\n' || text[end - 1] == ' '))
        --end;
    text[end] = '\0';
    if (end == 0)
        std::snprintf(out, size, "error %lu", error);
    else
        std::snprintf(out, size, "%s (error %lu)", text, error);
}
