#include "tools/host_simulator/thread_stacks.h"

#include <tlhelp32.h>

#include <cstdint>

// Enough for the frames of an export call, its locks and the system's wait.
static constexpr SIZE_T kStackBytes = 32 * 1024;
static constexpr int kWordsPerThread = 40;

static uintptr_t ImageEnd(HMODULE module) {
    const BYTE* base = reinterpret_cast<const BYTE*>(module);
    const IMAGE_DOS_HEADER* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
    const IMAGE_NT_HEADERS* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
    return reinterpret_cast<uintptr_t>(base) + nt->OptionalHeader.SizeOfImage;
}

// The module of `count` that holds `address`, or -1.
static int ModuleOf(const HMODULE* modules, int count, uintptr_t address) {
    for (int i = 0; i < count; ++i) {
        const uintptr_t base = reinterpret_cast<uintptr_t>(modules[i]);
        if (modules[i] != nullptr && address >= base && address < ImageEnd(modules[i]))
            return i;
    }
    return -1;
}

static void PrintAddress(void (*report)(const char*, ...), const HMODULE* modules, int count,
                         const char* what, uintptr_t address) {
    const int which = ModuleOf(modules, count, address);
    char name[MAX_PATH] = "?";
    if (which >= 0)
        GetModuleFileNameA(modules[which], name, sizeof name);
    const char* file = name;
    for (const char* c = name; *c != '\0'; ++c)
        if (*c == '\\' || *c == '/')
            file = c + 1;
    if (which >= 0)
        report(
            "    %s %s+0x%llx\n", what, file,
            static_cast<unsigned long long>(address - reinterpret_cast<uintptr_t>(modules[which])));
    else
        report("    %s 0x%llx\n", what, static_cast<unsigned long long>(address));
}

// The words are read with ReadProcessMemory, which answers a short read
// instead of faulting at the stack's end.
static void PrintOne(void (*report)(const char*, ...), const HMODULE* modules, int count, DWORD id,
                     HANDLE thread) {
    CONTEXT context = {};
    context.ContextFlags = CONTEXT_CONTROL | CONTEXT_INTEGER;
    if (!GetThreadContext(thread, &context)) {
        report("  thread %04lx: no context\n", id);
        return;
    }
    report("  thread %04lx:\n", id);
    PrintAddress(report, modules, count, "at", context.Rip);
    static uintptr_t words[kStackBytes / sizeof(uintptr_t)];  // one report at a time
    SIZE_T read = 0;
    ReadProcessMemory(GetCurrentProcess(), reinterpret_cast<const void*>(context.Rsp), words,
                      sizeof words, &read);
    int shown = 0;
    for (SIZE_T i = 0; i < read / sizeof(uintptr_t) && shown < kWordsPerThread; ++i) {
        if (ModuleOf(modules, count, words[i]) < 0)
            continue;
        PrintAddress(report, modules, count, "from", words[i]);
        ++shown;
    }
}

void PrintThreadStacks(void (*report)(const char*, ...), const HMODULE* modules, int count) {
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
    if (snapshot == INVALID_HANDLE_VALUE)
        return;
    THREADENTRY32 entry = {};
    entry.dwSize = sizeof entry;
    for (BOOL more = Thread32First(snapshot, &entry); more; more = Thread32Next(snapshot, &entry)) {
        if (entry.th32OwnerProcessID != GetCurrentProcessId() ||
            entry.th32ThreadID == GetCurrentThreadId())
            continue;
        HANDLE thread =
            OpenThread(THREAD_SUSPEND_RESUME | THREAD_GET_CONTEXT, FALSE, entry.th32ThreadID);
        if (thread == nullptr)
            continue;
        // Held still while its stack is read, so that the words belong together.
        if (SuspendThread(thread) != static_cast<DWORD>(-1)) {
            PrintOne(report, modules, count, entry.th32ThreadID, thread);
            ResumeThread(thread);
        }
        CloseHandle(thread);
    }
    CloseHandle(snapshot);
}
