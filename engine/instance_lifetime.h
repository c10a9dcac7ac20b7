// What Create acquires for a DriverInstance, and who holds it: the host, from
// Create until Destroy, and each worker, from the Start that created it until
// its very last step. The record, its queue and its exchange are freed by
// whichever lets go last, so a worker that Stop gave up waiting for (one
// blocked in a host callback, say) never touches freed memory, and Destroy
// never waits beyond Stop's limit.
//
// The holders word: bit 0 is set when Destroy has let go; each living worker
// adds kWorkerHold. Only Destroy sets bit 0; only Start adds a worker and only
// that worker takes it away.
#pragma once

#include <cstdint>

#include "driver/driver_instance.h"

inline constexpr uint32_t kHostLetGo = 1;
inline constexpr uint32_t kWorkerHold = 2;

// Create's record: allocated and zeroed, bound to the host's callback and
// user value, created, with the deliverable's GUID, the given settings, its
// report queue and its status exchange (either may lack its storage; the
// record is returned all the same). Null when the record cannot be allocated.
// Released by the last of InstanceDropHost and InstanceDropWorker.
DriverInstance* InstanceCreate(HostCallback callback, intptr_t userValue,
                               const DriverContext& settings);

// True once Destroy has run for the record (it is then refused a second time).
bool InstanceDestroyed(const DriverInstance* instance);
// Start, before it creates the thread; undone with InstanceDropWorker when no
// thread could be created.
void InstanceAddWorker(DriverInstance* instance);
// The worker's last step with the record, and Destroy's: each lets go, and the
// last one frees the queue, the exchange and the record. The caller must not
// touch the record afterwards.
void InstanceDropWorker(DriverInstance* instance);
void InstanceDropHost(DriverInstance* instance);
