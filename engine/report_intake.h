// Id-55 calls: an input report of the accepted keypad, cut into a key-state
// snapshot and queued for the worker. Runs on the host's report-reading
// thread: it allocates nothing and never waits on the worker.
//
// The ring admits one producer. A host may read one keypad on several threads,
// so the intake serialises its callers with a producers' guard, which is also
// the call's hold on the record (engine/instance_lifetime.h): the free takes
// the guard and keeps it, retired, so a call inside it finishes first and a
// later one is refused. The host's record is copied to the stack before the
// guard is taken, so a record that faults leaves no guard held. A caller that
// finds the guard held through kProducerGuardYields yields drops its snapshot
// as a full ring would (refused count + 1) rather than hold up the host.
#pragma once

#include <atomic>
#include <cstdint>

struct DriverInstance;

inline constexpr int32_t kProducerGuardYields = 1000;

// The producers' guard's values: free, held by an id-55 call or by the free
// on its way in, and retired (the record is freed).
inline constexpr int32_t kIntakeFree = 0;
inline constexpr int32_t kIntakeHeld = 1;
inline constexpr int32_t kIntakeRetired = 2;

// Id 55 after the signature check, answering as the public header says;
// QP240REMOTE_E_BAD_HANDLE when Destroy has claimed the instance or its
// created bit is clear.
int32_t ReportIntake(DriverInstance* instance, const void* record);

// The free of the record: waits for a call inside the guard and retires it.
void ReportIntakeRetire(DriverInstance* instance);

// Test seam of the test builds (the deliverables have none): when set, called
// between a call's checks and its push, so that a test can renew the
// connection under a call held there.
#ifdef KOLMAR_TEST_SEAMS
extern void (*g_reportIntakeBeforePush)(DriverInstance* instance);
#endif
