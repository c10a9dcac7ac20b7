// The cost of one id-55 call on a connected instance of a real DLL, under the
// host's report-reading thread's conditions: the record of an accepted keypad,
// a ring the worker drains every 10 ms. Batches of calls are timed (the
// performance counter is too coarse for one call), the worker given time to
// drain between batches; the figures are per call.
//
// usage: intake_bench [DLL]
#include <cstdio>
#include <cstring>
#include <vector>

#include "bench/bench_connection.h"
#include "include/qp240_remote.h"
#include "tools/host_simulator/simulated_keypads.h"

static constexpr int kBatches = 400;
static constexpr int kCallsPerBatch = 64;  // fewer than the ring holds

int main(int argc, char** argv) {
    BenchConnection connection;
    if (!BenchConnectionOpen(&connection, argc > 1 ? argv[1] : nullptr))
        return 1;
    SimulatedHost* host = &connection.host;
    SimulatedDevice keypad;
    SimulatedDeviceFind(SimulatedHostOpenDevice(host), &keypad);
    const KeypadModel* model = FindKeypadModel(keypad.productId);
    uint8_t keys[kMaxKeypadKeys] = {};
    uint8_t report[kRawInputRecordRoom];
    const uint32_t length = BuildKeypadReport(*model, keys, report);
    uint8_t record[kRawInputRecordRoom];
    const int32_t size = static_cast<int32_t>(WrapRawInputRecord(
        SimulatedHostOpenDevice(host), report, length, length, record, sizeof record));

    LARGE_INTEGER frequency, start, end;
    QueryPerformanceFrequency(&frequency);
    const double nsPerTick = 1e9 / static_cast<double>(frequency.QuadPart);
    std::vector<double> stored, refused;
    for (int batch = 0; batch < kBatches; ++batch) {
        QueryPerformanceCounter(&start);
        for (int i = 0; i < kCallsPerBatch; ++i)
            connection.driver.SetGetInformations(host->instance, QP240REMOTE_INFO_INPUT_REPORT,
                                                 record, size);
        QueryPerformanceCounter(&end);
        stored.push_back(static_cast<double>(end.QuadPart - start.QuadPart) * nsPerTick /
                         kCallsPerBatch);
        Sleep(12);  // the worker empties the ring
    }
    // A full ring: the same call, dropping the snapshot.
    for (int i = 0; i < 127; ++i)
        connection.driver.SetGetInformations(host->instance, QP240REMOTE_INFO_INPUT_REPORT, record,
                                             size);
    for (int batch = 0; batch < 50; ++batch) {
        QueryPerformanceCounter(&start);
        for (int i = 0; i < kCallsPerBatch; ++i)
            connection.driver.SetGetInformations(host->instance, QP240REMOTE_INFO_INPUT_REPORT,
                                                 record, size);
        QueryPerformanceCounter(&end);
        refused.push_back(static_cast<double>(end.QuadPart - start.QuadPart) * nsPerTick /
                          kCallsPerBatch);
    }
    std::printf("id-55 call, snapshot stored: median %.0f ns, p10 %.0f ns, p90 %.0f ns "
                "(%d batches of %d)\n",
                Percentile(&stored, 0.5), Percentile(&stored, 0.1), Percentile(&stored, 0.9),
                kBatches, kCallsPerBatch);
    std::printf("id-55 call, ring full:       median %.0f ns\n", Percentile(&refused, 0.5));
    BenchConnectionClose(&connection);
    return 0;
}
