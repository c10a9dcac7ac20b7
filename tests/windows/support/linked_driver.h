// The driver linked into a Windows test program, as the host sees a loaded
// one: a Deliverable whose exports are the linked functions, so the host
// simulator's code can drive it.
#pragma once

#include "tools/host_simulator/deliverable.h"

Deliverable LinkedDriver();
