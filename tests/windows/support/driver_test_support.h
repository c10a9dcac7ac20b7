// Shared pieces of the Windows tests: a way back to the state of a freshly
// loaded library, and a callback for instances that never run.
#pragma once

#include <cstdint>

#include "driver/driver_instance.h"
#include "tests/common/host_stand_ins.h"

// Removes this variant's stored settings; the shared keys above them stay.
void DeleteVariantSettingsKey();

// The error text the library holds at load, read before any test ran.
const char* ErrorTextAtLoad();

// Ends what a test left initialised and puts the library-wide state back as
// process attach leaves it (its error text, not initialised, zero defaults), with
// the test program's own module as the library module. The variant's stored
// settings are removed too, so every test starts as on a first run.
void ResetLibraryState();
