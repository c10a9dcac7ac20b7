#include "engine/polling_wait.h"

// Older headers lack the flag; systems before Windows 10 1803 refuse it with
// ERROR_INVALID_PARAMETER.
#ifndef CREATE_WAITABLE_TIMER_HIGH_RESOLUTION
#define CREATE_WAITABLE_TIMER_HIGH_RESOLUTION 0x00000002
#endif

void PollingWaitOpen(PollingWait* wait) {
    // Unnamed, so the wide and the 8-bit form are the same call. Auto-reset:
    // each wait consumes the expiry it waited for.
    wait->timer = CreateWaitableTimerExW(nullptr, nullptr, CREATE_WAITABLE_TIMER_HIGH_RESOLUTION,
                                         TIMER_MODIFY_STATE | SYNCHRONIZE);
}

void PollingWaitFor(PollingWait* wait, DWORD milliseconds) {
    if (wait->timer != nullptr) {
        // Relative due time, in 100 ns units: negative.
        LARGE_INTEGER due;
        due.QuadPart = -static_cast<LONGLONG>(milliseconds) * 10000;
        if (SetWaitableTimer(wait->timer, &due, 0, nullptr, nullptr, FALSE) &&
            WaitForSingleObject(wait->timer, INFINITE) == WAIT_OBJECT_0)
            return;
    }
    Sleep(milliseconds);
}

void PollingWaitClose(PollingWait* wait) {
    if (wait->timer != nullptr) {
        CloseHandle(wait->timer);
        wait->timer = nullptr;
    }
}
