// The polling period's clock in the real DLLs, down both of its paths at once:
// the 32-key DLL is given its high-resolution timer, the 15-key DLL is refused
// one as a system before Windows 10 1803 would, through each DLL's own imports.
#include <gtest/gtest.h>

#include "include/qp240_remote.h"
#include "tests/e2e/engine_support.h"
#include "tools/host_simulator/import_patch.h"

namespace {

constexpr DWORD kHighResolutionFlag = 0x2;  // CREATE_WAITABLE_TIMER_HIGH_RESOLUTION

// What each DLL's worker asked of the system. The two DLLs are patched with
// different functions, so each record sees one DLL only.
struct WaitRecord {
    LONG timersMade;
    DWORD flags;
    HANDLE timer;
    LONG timersClosed;
    LONG periods;  // timer arms (timer path) or 10 ms sleeps (fallback)
};
WaitRecord g_timerPath, g_sleepPath;

using CreateTimerFunction = HANDLE(WINAPI*)(LPSECURITY_ATTRIBUTES, LPCWSTR, DWORD, DWORD);
using SetTimerFunction = BOOL(WINAPI*)(HANDLE, const LARGE_INTEGER*, LONG, PTIMERAPCROUTINE, LPVOID,
                                       BOOL);
using CloseFunction = BOOL(WINAPI*)(HANDLE);
using SleepFunction = VOID(WINAPI*)(DWORD);
CreateTimerFunction g_realCreateTimer;
SetTimerFunction g_realSetTimer;
CloseFunction g_realClose;
SleepFunction g_realSleep;

HANDLE WINAPI RecordedCreateTimer(LPSECURITY_ATTRIBUTES attributes, LPCWSTR name, DWORD flags,
                                  DWORD access) {
    InterlockedIncrement(&g_timerPath.timersMade);
    g_timerPath.flags = flags;
    g_timerPath.timer = g_realCreateTimer(attributes, name, flags, access);
    return g_timerPath.timer;
}
BOOL WINAPI RecordedSetTimer(HANDLE timer, const LARGE_INTEGER* due, LONG period,
                             PTIMERAPCROUTINE routine, LPVOID argument, BOOL resume) {
    InterlockedIncrement(&g_timerPath.periods);
    return g_realSetTimer(timer, due, period, routine, argument, resume);
}
BOOL WINAPI RecordedClose(HANDLE handle) {
    if (handle == g_timerPath.timer)
        InterlockedIncrement(&g_timerPath.timersClosed);
    return g_realClose(handle);
}
HANDLE WINAPI RefusedCreateTimer(LPSECURITY_ATTRIBUTES, LPCWSTR, DWORD flags, DWORD) {
    InterlockedIncrement(&g_sleepPath.timersMade);
    g_sleepPath.flags = flags;
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
}
VOID WINAPI RecordedSleep(DWORD milliseconds) {
    if (milliseconds == QP240REMOTE_POLLING_PERIOD_MS)
        InterlockedIncrement(&g_sleepPath.periods);
    g_realSleep(milliseconds);
}

template <typename Function>
Function Patch(HMODULE module, const char* name, Function replacement) {
    void* previous =
        ReplaceImport(module, "kernel32.dll", name, reinterpret_cast<void*>(replacement));
    EXPECT_NE(previous, nullptr) << "the DLL does not import " << name;
    return reinterpret_cast<Function>(previous);
}

// Polling passes a second over about one second of a connected instance.
double PassesPerSecond(const LONG* periods) {
    LARGE_INTEGER frequency, begin, end;
    QueryPerformanceFrequency(&frequency);
    const LONG before = *periods;
    QueryPerformanceCounter(&begin);
    Sleep(1000);
    const LONG after = *periods;
    QueryPerformanceCounter(&end);
    return (after - before) * static_cast<double>(frequency.QuadPart) /
           static_cast<double>(end.QuadPart - begin.QuadPart);
}

TEST_F(BothDrivers, PollingWaitsOnAHighResolutionTimerOrSleepsWhereTheSystemRefusesIt) {
    g_timerPath = {};
    g_sleepPath = {};
    const HMODULE timerDll = drivers[0].driver.module;
    const HMODULE sleepDll = drivers[1].driver.module;
    g_realCreateTimer = Patch(timerDll, "CreateWaitableTimerExW", RecordedCreateTimer);
    g_realSetTimer = Patch(timerDll, "SetWaitableTimer", RecordedSetTimer);
    g_realClose = Patch(timerDll, "CloseHandle", RecordedClose);
    Patch(sleepDll, "CreateWaitableTimerExW", RefusedCreateTimer);
    g_realSleep = Patch(sleepDll, "Sleep", RecordedSleep);

    ForBothAtOnce([&](DriverUnderTest& d) {
        WaitRecord* record = &d == &drivers[0] ? &g_timerPath : &g_sleepPath;
        SimulatedDevicePlug(KeypadDevice(d.family->productIds[0]));
        SimulatedHost host;
        CreateInstance(d, &host, d.family->deliverableName);
        ASSERT_TRUE(SimulatedHostStartAndConnect(&host, kConnectTimeoutMs));
        // Each wait lasts the whole period (a busy loop would make thousands
        // of passes); the lower bound only leaves room for a busy machine.
        const double passes = PassesPerSecond(&record->periods);
        EXPECT_LE(passes, 1000.0 / QP240REMOTE_POLLING_PERIOD_MS + 10) << d.family->deliverableName;
        EXPECT_GE(passes, 20.0) << d.family->deliverableName;
        EXPECT_EQ(d.driver.Stop(host.instance), QP240REMOTE_OK);
        DestroyInstance(d, &host);
    });

    // One timer a run, asked with the high-resolution flag, closed at its end.
    EXPECT_EQ(g_timerPath.timersMade, 1);
    EXPECT_EQ(g_timerPath.flags & kHighResolutionFlag, kHighResolutionFlag);
    ASSERT_NE(g_timerPath.timer, nullptr) << "this system refuses high-resolution timers";
    EXPECT_EQ(g_timerPath.timersClosed, 1);
    EXPECT_EQ(g_sleepPath.timersMade, 1);
    EXPECT_EQ(g_sleepPath.flags & kHighResolutionFlag, kHighResolutionFlag);
}

}  // namespace
