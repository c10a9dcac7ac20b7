// Id-55 calls: an input report of the accepted keypad, cut into a key-state
// snapshot and queued for the worker. Runs on the host's report-reading thread:
// it allocates nothing, takes no lock and never waits.
#pragma once

#include <cstdint>

struct DriverInstance;

// 0 taken (also when the ring was full), -3 no keypad connected, -10 record
// null, -11 another device, -2 / -12 / -13 report too short.
int32_t ReportIntake(DriverInstance* instance, const void* record);
