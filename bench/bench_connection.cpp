#include "bench/bench_connection.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>

#include "driver/host_callback.h"
#include "driver/variant_profile.h"
#include "tools/host_simulator/simulated_keypads.h"

bool BenchConnectionOpen(BenchConnection* connection, const char* path) {
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
    if (!DeliverableLoad(&connection->driver, file.c_str(), error, sizeof error)) {
        std::fprintf(stderr, "%s\n", error);
        return false;
    }
    uint8_t block[1676];
    connection->driver.GetPlugInformation(1, block);
    const bool fifteen = std::memcmp(block + 0x620, kProfile15Keys.guid, 16) == 0;
    SimulatedDevicePlug(KeypadDevice((fifteen ? kProfile15Keys : kProfile32Keys).productIds[1]));
    connection->driver.Init(connection->driver.module);
    SimulatedHostInit(&connection->host, &connection->driver, "bench");
    if (SimulatedHostCreate(&connection->host) == nullptr ||
        !SimulatedHostStartAndConnect(&connection->host, 3000)) {
        std::fprintf(stderr, "no connection to the simulated keypad\n");
        return false;
    }
    std::printf("%s, keypad product 0x%04X\n", file.c_str(),
                (fifteen ? kProfile15Keys : kProfile32Keys).productIds[1]);
    return true;
}

void BenchConnectionClose(BenchConnection* connection) {
    connection->driver.Stop(connection->host.instance);
    connection->driver.Destroy(connection->host.instance);
    connection->driver.End();
    SimulatedHostFree(&connection->host);
    DeliverableUnload(&connection->driver);
    SimulatedDevicesUnplugAll();
}

double Percentile(std::vector<double>* samples, double share) {
    std::sort(samples->begin(), samples->end());
    const size_t index = static_cast<size_t>(share * static_cast<double>(samples->size() - 1));
    return (*samples)[index];
}
