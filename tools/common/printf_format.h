// Lets the compiler check the arguments of the tools' printf-like functions
// against their format, where it can: GCC and clang do, MSVC has no such
// attribute and compiles the declarations unchecked.
#pragma once

#if defined(__GNUC__) || defined(__clang__)
#define KOLMAR_PRINTF_FORMAT(formatIndex, firstArgument)                                           \
    __attribute__((format(printf, formatIndex, firstArgument)))
#else
#define KOLMAR_PRINTF_FORMAT(formatIndex, firstArgument)
#endif
