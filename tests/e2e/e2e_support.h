// Helpers of the end-to-end tests: where the built deliverables are, and a
// fixture that loads one fresh for every test (FreeLibrary then LoadLibrary
// gives the library back its load-time state).
#pragma once

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tests/common/host_stand_ins.h"
#include "tools/host_simulator/deliverable.h"
#include "tools/host_simulator/error_texts.h"
#include "tools/host_simulator/keypad_families.h"
#include "tools/host_simulator/stored_settings.h"

// Removes `family`'s DLL's stored settings and the shared keys above them
// when they are left empty.
void DeleteSettingsKey(const KeypadFamily& family);
// Removes both DLLs' stored settings (and the shared keys above them), so a
// test starts as on a first run.
void DeleteSettingsKeys();

// Every test starts here, whatever an earlier test that failed midway left
// behind: user32 loaded (as a real GUI host has it), no simulated device
// plugged, no stored settings, no window of this thread, and neither DLL
// loaded (one still loaded is ended and released), so the next load starts at
// the library's load-time state.
void StartFromCleanState();

// Loads the DLL named by the test parameter before each test, on a first-run
// registry, and unloads it after.
class EachDeliverable : public ::testing::TestWithParam<const KeypadFamily*> {
  protected:
    void SetUp() override;
    void TearDown() override;
    Deliverable d = {};
};

// Gives parameterised tests readable names: Kolmar32Keys, Kolmar15Keys.
std::string DeliverableParamName(const ::testing::TestParamInfo<const KeypadFamily*>& info);

// Every family of kKeypadFamilies, as a test parameter.
std::vector<const KeypadFamily*> EveryFamily();

#define KOLMAR_FOR_BOTH_DELIVERABLES(suite)                                                        \
    INSTANTIATE_TEST_SUITE_P(Deliverables, suite, ::testing::ValuesIn(EveryFamily()),              \
                             DeliverableParamName)
