// Key to host event through a real DLL: the time from the host's id-55 call
// with a changed key to the pad event reaching the host's callback, over many
// presses and releases at varying phases of the 10 ms polling period; and the
// polling period itself, from one pass's wait to the next. Measured twice in
// one run, side by side: with the polling wait on Sleep (the DLL refused its
// high-resolution timer, as on systems before Windows 10 1803) and on the
// timer.
//
// usage: key_latency_bench [DLL] [presses]
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "bench/bench_connection.h"
#include "include/qp240_remote.h"
#include "tools/host_simulator/import_patch.h"

namespace {

struct EventClock {
    std::atomic<LONGLONG> arrived;  // performance counter at the last pad event
    HANDLE signal;                  // auto-reset: a pad event arrived
};

void OnPadEvent(SimulatedHost* host, int32_t code) {
    if (code != QP240REMOTE_CODE_PAD_PRESSED && code != QP240REMOTE_CODE_PAD_RELEASED)
        return;
    EventClock* clock = static_cast<EventClock*>(host->hookContext);
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    clock->arrived = now.QuadPart;
    SetEvent(clock->signal);
}

// Performance counter at the start of every polling wait of the worker.
constexpr int kMaxWaits = 1 << 16;
LONGLONG g_waits[kMaxWaits];
std::atomic<int> g_waitCount{0};

void RecordWait() {
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    const int index = g_waitCount.fetch_add(1, std::memory_order_relaxed);
    if (index < kMaxWaits)
        g_waits[index] = now.QuadPart;
}

VOID(WINAPI* g_realSleep)(DWORD);
VOID WINAPI RecordedSleep(DWORD milliseconds) {
    if (milliseconds == 10)
        RecordWait();
    g_realSleep(milliseconds);
}
BOOL(WINAPI* g_realSetTimer)(HANDLE, const LARGE_INTEGER*, LONG, PTIMERAPCROUTINE, LPVOID, BOOL);
BOOL WINAPI RecordedSetTimer(HANDLE timer, const LARGE_INTEGER* due, LONG period,
                             PTIMERAPCROUTINE routine, LPVOID argument, BOOL resume) {
    RecordWait();
    return g_realSetTimer(timer, due, period, routine, argument, resume);
}
HANDLE WINAPI RefusedCreateTimer(LPSECURITY_ATTRIBUTES, LPCWSTR, DWORD, DWORD) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
}

void* Patch(HMODULE module, const char* name, void* replacement) {
    return ReplaceImport(module, "kernel32.dll", name, replacement);
}

// One path: restarts the worker so that it makes (or is refused) its timer,
// then presses and releases a key `presses` times.
void MeasurePath(BenchConnection* connection, EventClock* clock, bool timer, int presses) {
    const HMODULE dll = connection->driver.module;
    connection->driver.Stop(connection->host.instance);
    void* realCreate = nullptr;
    if (!timer)
        realCreate =
            Patch(dll, "CreateWaitableTimerExW", reinterpret_cast<void*>(RefusedCreateTimer));
    if (!SimulatedHostStartAndConnect(&connection->host, 3000)) {
        std::printf("no connection\n");
        return;
    }

    LARGE_INTEGER frequency, sent;
    QueryPerformanceFrequency(&frequency);
    const double msPerTick = 1e3 / static_cast<double>(frequency.QuadPart);
    std::vector<double> latencies;
    int lost = 0;
    g_waitCount = 0;
    for (int i = 0; i < 2 * presses; ++i) {
        Sleep(static_cast<DWORD>(i % 7));  // vary the phase against the polling period
        QueryPerformanceCounter(&sent);
        SimulatedHostSetKey(&connection->host, 3, i % 2 == 0);
        if (WaitForSingleObject(clock->signal, 1000) != WAIT_OBJECT_0) {
            ++lost;
            continue;
        }
        latencies.push_back(static_cast<double>(clock->arrived - sent.QuadPart) * msPerTick);
    }
    std::vector<double> periods;
    const int waits = g_waitCount < kMaxWaits ? g_waitCount.load() : kMaxWaits;
    for (int i = 1; i < waits; ++i)
        periods.push_back(static_cast<double>(g_waits[i] - g_waits[i - 1]) * msPerTick);

    std::printf("%s\n  polling period over %zu passes: p50 %.2f ms, p99 %.2f ms, max %.2f ms\n"
                "  key to host event over %zu presses and releases: p50 %.2f ms, p90 %.2f ms, "
                "p99 %.2f ms, max %.2f ms, lost %d\n",
                timer ? "high-resolution waitable timer" : "Sleep (timer refused)", periods.size(),
                Percentile(&periods, 0.5), Percentile(&periods, 0.99), Percentile(&periods, 1.0),
                latencies.size(), Percentile(&latencies, 0.5), Percentile(&latencies, 0.9),
                Percentile(&latencies, 0.99), Percentile(&latencies, 1.0), lost);
    if (realCreate != nullptr)
        Patch(dll, "CreateWaitableTimerExW", realCreate);
}

}  // namespace

int main(int argc, char** argv) {
    const int presses = argc > 2 ? std::atoi(argv[2]) : 1000;
    BenchConnection connection;
    if (!BenchConnectionOpen(&connection, argc > 1 ? argv[1] : nullptr))
        return 1;
    EventClock clock = {{0}, CreateEventA(nullptr, FALSE, FALSE, nullptr)};
    connection.host.hookContext = &clock;
    connection.host.hook = OnPadEvent;
    const HMODULE dll = connection.driver.module;
    g_realSleep = reinterpret_cast<VOID(WINAPI*)(DWORD)>(
        Patch(dll, "Sleep", reinterpret_cast<void*>(RecordedSleep)));
    g_realSetTimer = reinterpret_cast<decltype(g_realSetTimer)>(
        Patch(dll, "SetWaitableTimer", reinterpret_cast<void*>(RecordedSetTimer)));
    if (g_realSleep == nullptr || g_realSetTimer == nullptr) {
        std::fprintf(stderr, "the DLL imports no Sleep or SetWaitableTimer\n");
        return 1;
    }

    MeasurePath(&connection, &clock, false, presses);
    MeasurePath(&connection, &clock, true, presses);

    connection.host.hook = nullptr;
    BenchConnectionClose(&connection);
    CloseHandle(clock.signal);
    return 0;
}
