// CPU of idle connected instances through a real DLL: each keypad accepted,
// no reports, each worker polling every 10 ms. The process's CPU time and the
// workers' own over a stretch of wall time, as % of one core, in all and per
// instance (several instances average out the coarse accounting of one).
//
// usage: idle_cpu_bench [DLL] [seconds] [instances]
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "bench/bench_connection.h"
#include "include/qp240_remote.h"
#include "tools/host_simulator/process_counts.h"

// The thread that made the host's first call: the instance's worker.
static HANDLE OpenWorker(SimulatedHost* host) {
    return OpenThread(THREAD_QUERY_INFORMATION, FALSE,
                      SimulatedHostCallsWith(host, QP240REMOTE_CODE_WORKER_BEGINS).at(0).threadId);
}

int main(int argc, char** argv) {
    const int seconds = argc > 2 ? std::atoi(argv[2]) : 10;
    const int instances = argc > 3 ? std::atoi(argv[3]) : 1;
    if (seconds <= 0 || instances <= 0) {
        std::fprintf(stderr, "usage: idle_cpu_bench [DLL] [seconds] [instances]\n");
        return 2;
    }
    BenchConnection connection;
    if (!BenchConnectionOpen(&connection, argc > 1 ? argv[1] : nullptr))
        return 1;
    // More instances on the same keypad: the simulated host opens it for each.
    std::vector<SimulatedHost> more(static_cast<size_t>(instances - 1));
    for (SimulatedHost& host : more) {
        SimulatedHostInit(&host, &connection.driver, "idle");
        if (SimulatedHostCreate(&host) == nullptr || !SimulatedHostStartAndConnect(&host, 5000)) {
            std::fprintf(stderr, "an instance did not connect\n");
            return 1;
        }
    }
    std::vector<HANDLE> workers = {OpenWorker(&connection.host)};
    for (SimulatedHost& host : more)
        workers.push_back(OpenWorker(&host));

    const DWORD start = GetTickCount();
    const double processBefore = ProcessCpuMs();
    const double workersBefore = ThreadsCpuMs(workers.data(), workers.size());
    Sleep(static_cast<DWORD>(seconds) * 1000);
    const double workersMs = ThreadsCpuMs(workers.data(), workers.size()) - workersBefore;
    const double processMs = ProcessCpuMs() - processBefore;
    const double wallMs = GetTickCount() - start;

    std::printf("%d idle connected instance(s) over %.0f ms: process CPU %.1f ms (%.2f%% of one "
                "core), workers %.1f ms (%.2f%%); per instance %.3f%% of one core\n",
                instances, wallMs, processMs, 100 * processMs / wallMs, workersMs,
                100 * workersMs / wallMs, 100 * processMs / wallMs / instances);
    for (HANDLE worker : workers)
        CloseHandle(worker);
    for (SimulatedHost& host : more) {
        connection.driver.Stop(host.instance);
        connection.driver.Destroy(host.instance);
        SimulatedHostFree(&host);
    }
    BenchConnectionClose(&connection);
    return 0;
}
