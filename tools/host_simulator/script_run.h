// The simulator's script run: each DLL in turn, with a simulated keypad (and
// decoys) plugged in, one instance started, the offered keypad accepted and
// read through the script of key presses and context changes; every call and
// callback is printed.
#pragma once

#include "tools/host_simulator/simulator_options.h"

// Returns the exit code: 0, 1 when a run failed, 2 when the options do not fit
// a DLL.
int RunScript(const SimulatorOptions& options);
