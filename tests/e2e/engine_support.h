// The end-to-end engine tests' fixture: both real DLLs loaded fresh, with the
// host simulator's keypads in place of the system's devices, and a way to run
// one scenario per deliverable at once (the detection period makes each
// scenario last seconds; the two share the wall time).
#pragma once

#include <functional>

#include <gtest/gtest.h>

#include "include/qp240_remote.h"
#include "tools/host_simulator/deliverable.h"
#include "tools/host_simulator/keypad_families.h"
#include "tools/host_simulator/simulated_host.h"
#include "tools/host_simulator/simulated_keypads.h"

// One detection period plus room for a busy machine.
inline constexpr DWORD kConnectTimeoutMs = QP240REMOTE_DETECTION_PERIOD_MS + 1500;
// A few polling periods.
inline constexpr DWORD kEventTimeoutMs = 1000;

struct DriverUnderTest {
    Deliverable driver;
    const KeypadFamily* family;
};

class BothDrivers : public ::testing::Test {
  protected:
    void SetUp() override;
    void TearDown() override;
    // Runs `scenario` for each deliverable, each on a thread of its own, and
    // waits for both.
    void ForBothAtOnce(const std::function<void(DriverUnderTest&)>& scenario);
    DriverUnderTest drivers[kKeypadFamilyCount] = {};
};

// Sets up `host` with a new instance of `d`.
void CreateInstance(DriverUnderTest& d, SimulatedHost* host, const char* label);
// Destroys the instance and frees the host.
void DestroyInstance(DriverUnderTest& d, SimulatedHost* host);

// The host's calls from index `from` on that carry key events (1301..1315).
std::vector<SimulatedHostCall> KeyEvents(SimulatedHost* host, size_t from);
