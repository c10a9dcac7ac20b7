// A connected instance of a real DLL with a simulated keypad, for the
// benchmarks that run under Wine.
#pragma once

#include <cstdint>
#include <vector>

#include "tools/host_simulator/deliverable.h"
#include "tools/host_simulator/simulated_host.h"

struct BenchConnection {
    Deliverable driver;
    SimulatedHost host;
};

// Loads `path` (or the 32-key DLL beside the program when null), plugs in a
// keypad of its family and waits for the connection. False, with a message on
// standard error, when any step fails.
bool BenchConnectionOpen(BenchConnection* connection, const char* path);
void BenchConnectionClose(BenchConnection* connection);

// The value below which `share` (0..1) of the samples lie; sorts `samples`.
double Percentile(std::vector<double>* samples, double share);
