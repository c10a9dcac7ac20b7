// The stack protector's canary and its handlers, the driver's own. The
// compilers' runtime library for them seeds the canary from the system's
// cryptographic provider in a constructor, which loads further DLLs while the
// host's loader lock is held for this DLL's attach; here the seed comes from
// the clock, the process and thread ids and this load's addresses, as the
// Microsoft runtime seeds its security cookie, with no library loaded.
#if defined(__MINGW32__)

#include <cstdint>

#include "base/platform_types.h"

// Checked against the copy every protected function keeps on its stack. A
// fixed value until the constructor below runs: nothing protected is on the
// stack across that change, since the constructor itself is not protected and
// its callers (the runtime's start-up) are not either.
// The names below are the ones the compilers emit calls to and reads of.
// NOLINTNEXTLINE(bugprone-reserved-identifier,cert-dcl37-c,cert-dcl51-cpp)
extern "C" uintptr_t __stack_chk_guard;
// NOLINTNEXTLINE(bugprone-reserved-identifier,cert-dcl37-c,cert-dcl51-cpp)
uintptr_t __stack_chk_guard = 0x2B992DDFA232ULL;

// The process ends at once, as the system's own check of a stack cookie ends
// it: on Windows 8 and later with a fail-fast report, before them with the
// same status.
[[noreturn]] static void EndOnCorruption() {
    constexpr DWORD kFastFailAvailable = 23;     // PF_FASTFAIL_AVAILABLE
    constexpr unsigned kStackCookieFailure = 2;  // FAST_FAIL_STACK_COOKIE_CHECK_FAILURE
    constexpr UINT kStackBufferOverrun = 0xC0000409;
    if (IsProcessorFeaturePresent(kFastFailAvailable))
        __asm__ volatile("int $0x29" : : "c"(kStackCookieFailure) : "memory");
    TerminateProcess(GetCurrentProcess(), kStackBufferOverrun);
    __builtin_unreachable();
}

// NOLINTNEXTLINE(bugprone-reserved-identifier,cert-dcl37-c,cert-dcl51-cpp)
extern "C" [[noreturn]] void __stack_chk_fail() {
    EndOnCorruption();
}

// NOLINTNEXTLINE(bugprone-reserved-identifier,cert-dcl37-c,cert-dcl51-cpp)
extern "C" [[noreturn]] void __stack_chk_fail_local() {
    EndOnCorruption();
}

// A fortified string call found its destination too small. (The C runtime's
// header declares it without noreturn.)
extern "C" void __chk_fail() {
    EndOnCorruption();
}

__attribute__((constructor(101), no_stack_protector)) static void SeedStackGuard() {
    LARGE_INTEGER counter;
    QueryPerformanceCounter(&counter);
    uintptr_t seed = static_cast<uintptr_t>(counter.QuadPart);
    seed ^= static_cast<uintptr_t>(GetTickCount64()) << 24;
    seed ^= static_cast<uintptr_t>(GetCurrentProcessId()) << 32;
    seed ^= GetCurrentThreadId();
    seed ^= reinterpret_cast<uintptr_t>(&counter);  // this thread's stack, under ASLR
    seed ^= reinterpret_cast<uintptr_t>(&__stack_chk_guard) << 16;  // this DLL's place
    if (seed != 0)
        __stack_chk_guard = seed;
}

#endif
