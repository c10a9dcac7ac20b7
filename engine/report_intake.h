// Id-55 calls: an input report of the accepted keypad, cut into a key-state
// snapshot and queued for the worker. Runs on the host's report-reading
// thread: it allocates nothing and never waits on the worker.
//
// The ring admits one producer. A host may read one keypad on several threads,
// so the intake serialises its callers with a producer guard held only across
// the ring's push (a 32-byte copy and two index operations). A caller that
// finds the guard held through kProducerGuardYields yields drops its snapshot
// as a full ring would (refused count + 1) rather than hold up the host.
#pragma once

#include <cstdint>

struct DriverInstance;

inline constexpr int32_t kProducerGuardYields = 1000;

// Id 55 after the handle check, answering as the public header says.
int32_t ReportIntake(DriverInstance* instance, const void* record);

// Test seam of the native builds, which only the tests use: when set, called
// between a call's checks and its push, so that a test can renew the
// connection under a call held there. The deliverables have no such seam on
// the report path.
#ifdef KOLMAR_TEST_SEAMS
extern void (*g_reportIntakeBeforePush)(DriverInstance* instance);
#endif
