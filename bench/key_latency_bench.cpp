// Key to host event through a real DLL: the time from the host's id-55 call
// with a changed key to the pad event reaching the host's callback, over many
// presses and releases at varying phases of the 10 ms polling period.
//
// usage: key_latency_bench [DLL] [presses]
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "bench/bench_connection.h"
#include "driver/host_callback.h"

struct EventClock {
    std::atomic<LONGLONG> arrived;  // performance counter at the last pad event
    HANDLE signal;                  // auto-reset: a pad event arrived
};

static void OnPadEvent(SimulatedHost* host, int32_t code) {
    if (code != kHostPadPressed && code != kHostPadReleased)
        return;
    EventClock* clock = static_cast<EventClock*>(host->hookContext);
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    clock->arrived = now.QuadPart;
    SetEvent(clock->signal);
}

int main(int argc, char** argv) {
    const int presses = argc > 2 ? std::atoi(argv[2]) : 1000;
    BenchConnection connection;
    if (!BenchConnectionOpen(&connection, argc > 1 ? argv[1] : nullptr))
        return 1;
    EventClock clock = {{0}, CreateEventA(nullptr, FALSE, FALSE, nullptr)};
    connection.host.hookContext = &clock;
    connection.host.hook = OnPadEvent;

    LARGE_INTEGER frequency, sent;
    QueryPerformanceFrequency(&frequency);
    const double msPerTick = 1e3 / static_cast<double>(frequency.QuadPart);
    std::vector<double> latencies;
    int lost = 0;
    for (int i = 0; i < 2 * presses; ++i) {
        Sleep(static_cast<DWORD>(i % 7));  // vary the phase against the polling period
        QueryPerformanceCounter(&sent);
        SimulatedHostSetKey(&connection.host, 3, i % 2 == 0);
        if (WaitForSingleObject(clock.signal, 1000) != WAIT_OBJECT_0) {
            ++lost;
            continue;
        }
        latencies.push_back(static_cast<double>(clock.arrived - sent.QuadPart) * msPerTick);
    }
    connection.host.hook = nullptr;
    std::printf("key to host event over %zu presses and releases: p50 %.2f ms, p90 %.2f ms, "
                "p99 %.2f ms, max %.2f ms, lost %d\n",
                latencies.size(), Percentile(&latencies, 0.5), Percentile(&latencies, 0.9),
                Percentile(&latencies, 0.99), Percentile(&latencies, 1.0), lost);
    BenchConnectionClose(&connection);
    CloseHandle(clock.signal);
    return 0;
}
