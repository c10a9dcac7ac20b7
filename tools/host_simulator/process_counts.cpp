#include "tools/host_simulator/process_counts.h"

#include <cstdio>

#include <psapi.h>
#include <tlhelp32.h>

static int CountGdiObjects(bool besideDcCache) {
    const DWORD reported = GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS);
    if (reported != 0)
        return static_cast<int>(reported);
    // Wine answers a handle that carries only its table index (no uniqueness
    // bits) for any live object in that slot.
    int live = 0;
    for (uintptr_t index = 1; index < 0x10000; ++index) {
        const DWORD type = GetObjectType(reinterpret_cast<HGDIOBJ>(index));
        live += type != 0 && !(besideDcCache && (type == OBJ_DC || type == OBJ_REGION));
    }
    return live;
}

int LiveGdiObjects() {
    return CountGdiObjects(false);
}

int LiveGdiObjectsBesideDcCache() {
    return CountGdiObjects(true);
}

int LiveKernelHandles() {
    DWORD reported = 0;
    if (GetProcessHandleCount(GetCurrentProcess(), &reported) && reported != 0)
        return static_cast<int>(reported);
    // Kernel handles are multiples of 4; the probe asks each for its flags.
    int live = 0;
    for (uintptr_t value = 4; value < 0x20000; value += 4) {
        DWORD flags = 0;
        if (GetHandleInformation(reinterpret_cast<HANDLE>(value), &flags))
            ++live;
    }
    return live;
}

int LiveThreads() {
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
    if (snapshot == INVALID_HANDLE_VALUE)
        return -1;
    const DWORD self = GetCurrentProcessId();
    int live = 0;
    THREADENTRY32 entry;
    entry.dwSize = sizeof entry;
    for (BOOL more = Thread32First(snapshot, &entry); more; more = Thread32Next(snapshot, &entry))
        live += entry.th32OwnerProcessID == self;
    CloseHandle(snapshot);
    return live;
}

size_t PrivateBytes() {
    // The commit charge: on Windows the same figure as the private bytes of
    // the extended counters, which Wine leaves unfilled.
    PROCESS_MEMORY_COUNTERS counters = {};
    counters.cb = sizeof counters;
    if (!GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters))
        return 0;
    return counters.PagefileUsage;
}

ProcessCounts TakeProcessCounts() {
    return ProcessCounts{LiveGdiObjects(), LiveKernelHandles(), LiveThreads(), PrivateBytes()};
}

void DescribeProcessCounts(const ProcessCounts& counts, char* out, size_t size) {
    std::snprintf(out, size, "GDI objects %d, kernel handles %d, threads %d, private bytes %zu",
                  counts.gdiObjects, counts.kernelHandles, counts.threads, counts.privateBytes);
}

// FILETIME counts 100 ns units.
static double FileTimeMs(const FILETIME& time) {
    ULARGE_INTEGER value;
    value.LowPart = time.dwLowDateTime;
    value.HighPart = time.dwHighDateTime;
    return static_cast<double>(value.QuadPart) / 1e4;
}

double ProcessCpuMs() {
    FILETIME created, exited, kernel, user;
    if (!GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user))
        return -1;
    return FileTimeMs(kernel) + FileTimeMs(user);
}

double ThreadCpuMs(HANDLE thread) {
    FILETIME created, exited, kernel, user;
    if (!GetThreadTimes(thread, &created, &exited, &kernel, &user))
        return -1;
    return FileTimeMs(kernel) + FileTimeMs(user);
}

double ThreadsCpuMs(const HANDLE* threads, size_t count) {
    double sum = 0;
    for (size_t i = 0; i < count; ++i)
        sum += ThreadCpuMs(threads[i]);
    return sum;
}
