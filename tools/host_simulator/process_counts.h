// Counts of what the process holds, for leak checks that also work under Wine:
// GetGuiResources and GetProcessHandleCount answer 0 there, so the GDI objects
// and kernel handles fall back to probing every possible handle value. Also
// the CPU time the process and its threads used, for the CPU figures.
#pragma once

#include <cstddef>
#include <cstdint>
#include <windows.h>

int LiveGdiObjects();
// The same without window DCs and regions under Wine, which keeps the DCs of
// windows (with their clip regions) in a cache that grows with the number of
// windows painting at once and never shrinks; on Windows that cache is not
// the process's, and the count is LiveGdiObjects().
int LiveGdiObjectsBesideDcCache();
int LiveKernelHandles();
// Threads of this process, from a system snapshot.
int LiveThreads();
// Committed memory private to this process, in bytes (0 when unknown).
size_t PrivateBytes();

struct ProcessCounts {
    int gdiObjects;
    int kernelHandles;
    int threads;
    size_t privateBytes;
};

ProcessCounts TakeProcessCounts();
// "GDI objects 12, kernel handles 40, threads 3, private bytes 1234567"
void DescribeProcessCounts(const ProcessCounts& counts, char* out, size_t size);

// Process CPU time (kernel and user) so far, in milliseconds.
double ProcessCpuMs();
// The same for one thread, given a handle with query rights; -1 when unknown.
double ThreadCpuMs(HANDLE thread);
// The sum for `count` threads (each -1 when unknown).
double ThreadsCpuMs(const HANDLE* threads, size_t count);
