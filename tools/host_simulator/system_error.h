// A Win32 error as a person reads it: the system's own text and the number.
#pragma once

#include <cstddef>
#include <windows.h>

// "The specified module could not be found. (error 126)"; the number alone
// when the system has no text for it. `subject` (may be null) fills the
// text's "%1", the file a load failed on.
void DescribeSystemError(char* out, size_t size, DWORD error, const char* subject = nullptr);
