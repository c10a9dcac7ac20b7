#include "bench/bench_session.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>

#include "driver/host_callback.h"
#include "driver/variant_profile.h"
#include "tools/host_simulator/simulated_keypads.h"

bool BenchSessionOpen(BenchSession* session, const char* path) {
    char error[512];
    if (!SimulatedKeypadsInstall(error, sizeof error)) {
        std::fprintf(stderr, "%s\n", error);
        return false;
    }
    std::string file;
    if (path != nullptr) {
        file = path;
    } else {
        char directory[MAX_PATH];
        ProgramDirectory(directory, sizeof directory);
        file = std::string(directory) + "Kolmar32Keys.dll";
    }
    if (!DeliverableLoad(&session->driver, file.c_str(), error, sizeof error)) {
        std::fprintf(stderr, "%s\n", error);
        return false;
    }
    uint8_t block[1676];
    session->driver.GetPlugInformation(1, block);
    const bool fifteen = std::memcmp(block + 0x620, kProfile15Keys.guid, 16) == 0;
    SimulatedDevicePlug(KeypadDevice((fifteen ? kProfile15Keys : kProfile32Keys).productIds[1]));
    session->driver.Init(session->driver.module);
    SimulatedHostInit(&session->host, &session->driver, "bench");
    if (SimulatedHostCreate(&session->host) == nullptr ||
        !SimulatedHostStartAndConnect(&session->host, 3000)) {
        std::fprintf(stderr, "no connection to the simulated keypad\n");
        return false;
    }
    std::printf("%s, keypad product 0x%04X\n", file.c_str(),
                (fifteen ? kProfile15Keys : kProfile32Keys).productIds[1]);
    return true;
}

void BenchSessionClose(BenchSession* session) {
    session->driver.Stop(session->host.instance);
    session->driver.Destroy(session->host.instance);
    session->driver.End();
    SimulatedHostFree(&session->host);
    DeliverableUnload(&session->driver);
    SimulatedDevicesUnplugAll();
}

double Percentile(std::vector<double>* samples, double share) {
    std::sort(samples->begin(), samples->end());
    const size_t index = static_cast<size_t>(share * static_cast<double>(samples->size() - 1));
    return (*samples)[index];
}
