// The worker thread of a started instance: detection passes every second while
// no keypad is connected, polling passes every 10 ms once one is.
#pragma once

#include "driver/driver_instance.h"

// Thread body; the argument is the DriverInstance. Started by Start, ended by
// the run flag.
DWORD WINAPI WorkerThread(LPVOID argument);
