// What every other thread of the process is doing, for the report of a run
// that is stuck: each thread's instruction pointer and the words on its stack
// that point into the given modules, as module+offset, which addr2line maps to
// lines with the unstripped binaries. Written without the C runtime's heap: a
// stuck thread may hold its lock.
#pragma once

#include <windows.h>

// `report` prints one line (printf-style, heap-free); `modules` are the ones
// whose addresses are worth naming, `count` of them.
void PrintThreadStacks(void (*report)(const char* format, ...), const HMODULE* modules, int count);
