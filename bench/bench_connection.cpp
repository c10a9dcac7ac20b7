#include "bench/bench_connection.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>

#include "include/qp240_remote.h"
#include "tools/host_simulator/keypad_families.h"
#include "tools/host_simulator/simulated_keypads.h"

bool BenchConnectionOpen(BenchConnection* connection, const char* path) {
    char error[512];
    if (!SimulatedKeypadsInstall(error, sizeof error)) {
        std::fprintf(stderr, "%s\n", error);
        return false;
    }
    const std::string file = path != nullptr ? path : DeliverablePath(kFamily32Keys);
    if (!DeliverableLoad(&connection->driver, file.c_str(), error, sizeof error)) {
        std::fprintf(stderr, "%s\n", error);
        return false;
    }
    const KeypadFamily* found = DeliverableFamily(connection->driver);
    const uint16_t product = (found != nullptr ? *found : kFamily32Keys).productIds[1];
    SimulatedDevicePlug(KeypadDevice(product));
    connection->driver.Init(connection->driver.module);
    SimulatedHostInit(&connection->host, &connection->driver, "bench");
    if (SimulatedHostCreate(&connection->host) == nullptr ||
        !SimulatedHostStartAndConnect(&connection->host, 3000)) {
        std::fprintf(stderr, "no connection to the simulated keypad\n");
        return false;
    }
    std::printf("%s, keypad product 0x%04X\n", file.c_str(), product);
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
