#include "tests/e2e/engine_support.h"

#include <thread>

#include "include/qp240_remote.h"
#include "tests/e2e/e2e_support.h"

void BothDrivers::SetUp() {
    char error[512];
    StartFromCleanState();
    ASSERT_TRUE(SimulatedKeypadsInstall(error, sizeof error)) << error;
    for (int i = 0; i < kKeypadFamilyCount; ++i) {
        drivers[i].family = &kKeypadFamilies[i];
        ASSERT_TRUE(DeliverableLoad(&drivers[i].driver, DeliverablePath(kKeypadFamilies[i]).c_str(),
                                    error, sizeof error))
            << error;
        ASSERT_EQ(drivers[i].driver.Init(drivers[i].driver.module), QP240REMOTE_OK);
    }
}

void BothDrivers::TearDown() {
    for (DriverUnderTest& d : drivers) {
        if (d.driver.module != nullptr)
            d.driver.End();
        DeliverableUnload(&d.driver);
    }
    SimulatedDevicesUnplugAll();
}

void BothDrivers::ForBothAtOnce(const std::function<void(DriverUnderTest&)>& scenario) {
    std::thread second([&] { scenario(drivers[1]); });
    scenario(drivers[0]);
    second.join();
}

void CreateInstance(DriverUnderTest& d, SimulatedHost* host, const char* label) {
    SimulatedHostInit(host, &d.driver, label);
    ASSERT_NE(SimulatedHostCreate(host), nullptr);
}

void DestroyInstance(DriverUnderTest& d, SimulatedHost* host) {
    EXPECT_EQ(d.driver.Destroy(host->instance), QP240REMOTE_OK);
    SimulatedHostFree(host);
}

std::vector<SimulatedHostCall> KeyEvents(SimulatedHost* host, size_t from) {
    const std::vector<SimulatedHostCall> calls = SimulatedHostCalls(host);
    std::vector<SimulatedHostCall> events;
    for (size_t i = from; i < calls.size(); ++i)
        if (calls[i].code >= QP240REMOTE_CODE_MIDI_BYTES &&
            calls[i].code <= QP240REMOTE_CODE_STOP_ALL_PLISTS)
            events.push_back(calls[i]);
    return events;
}
