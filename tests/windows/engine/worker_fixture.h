// The fixture of the worker's tests: the linked driver initialised with the
// host simulator's keypads in place of the system's devices.
#pragma once

#include <gtest/gtest.h>

#include "driver/driver_instance.h"
#include "include/qp240_remote.h"
#include "tools/host_simulator/simulated_host.h"
#include "tools/host_simulator/simulated_keypads.h"

// The detection period plus room for a busy machine.
inline constexpr DWORD kConnectTimeoutMs = QP240REMOTE_DETECTION_PERIOD_MS + 1500;

class WorkerTest : public ::testing::Test {
  protected:
    void SetUp() override;
    void TearDown() override;
    // A new instance bound to `host`.
    DriverInstance* Create(SimulatedHost* host, const char* label);
    // Starts the instance and waits for its next connection.
    bool StartAndConnect(SimulatedHost* host);
    // Destroys the instance and frees the host.
    void Finish(SimulatedHost* host);
    Deliverable driver = {};
};

// The keypad of the variant under test, and another of the same family.
inline constexpr uint16_t kKeypadProduct = kProfile.productIds[0];
inline constexpr uint16_t kOtherProduct = kProfile.productIds[1];
