#include "tests/windows/engine/worker_fixture.h"

#include "engine/worker_thread.h"
#include "tests/windows/support/driver_test_support.h"
#include "tests/windows/support/linked_driver.h"

void WorkerTest::SetUp() {
    char error[256];
    ASSERT_TRUE(SimulatedKeypadsInstall(error, sizeof error)) << error;
    SimulatedDevicesUnplugAll();
    SimulatedListCountFails(false);
    ResetLibraryState();
    driver = LinkedDriver();
    ASSERT_EQ(driver.Init(driver.module), 0);
}

void WorkerTest::TearDown() {
    g_workerStopWaitMs = QP240REMOTE_STOP_WAIT_MS;
    SimulatedDevicesUnplugAll();
    ResetLibraryState();
}

DriverInstance* WorkerTest::Create(SimulatedHost* host, const char* label) {
    SimulatedHostInit(host, &driver, label);
    return static_cast<DriverInstance*>(SimulatedHostCreate(host));
}

bool WorkerTest::StartAndConnect(SimulatedHost* host) {
    return SimulatedHostStartAndConnect(host, kConnectTimeoutMs);
}

void WorkerTest::Finish(SimulatedHost* host) {
    driver.Destroy(host->instance);
    SimulatedHostFree(host);
}
