// Shared pieces of the Windows tests: a host callback that records every call,
// and a way back to the state of a freshly loaded library.
#pragma once

#include <cstdint>
#include <vector>

#include "driver/driver_instance.h"

struct RecordedCall {
    int32_t code;
    int32_t argument;
    void* pointer;
    std::vector<uint8_t> bytes;  // the MIDI bytes of a 1301 call, copied during the call
    DWORD threadId;
};

// A host for one instance: records calls under a lock and answers offers with
// `offerAnswer`. Pass its address as the user value with RecordingHostCallback.
struct RecordingHost {
    CRITICAL_SECTION lock;
    std::vector<RecordedCall> calls;
    int32_t offerAnswer;
};

void RecordingHostInit(RecordingHost* host);
void RecordingHostFree(RecordingHost* host);
int32_t RecordingHostCallback(intptr_t userValue, int32_t code, int32_t argument, void* pointer);
// A copy of the calls so far, taken under the lock.
std::vector<RecordedCall> RecordedCalls(RecordingHost* host);
std::vector<int32_t> RecordedCodes(RecordingHost* host);
// Waits up to `timeoutMs` for a call with `code`; true when one arrived.
bool WaitForCode(RecordingHost* host, int32_t code, DWORD timeoutMs);

// Removes this variant's stored settings; the shared keys above them stay.
void DeleteVariantSettingsKey();

// Ends what a test left initialised and puts the library-wide state back as
// process attach leaves it ("no-error", not initialised, zero defaults), with
// the test program's own module as the library module. The variant's stored
// settings are removed too, so every test starts as on a first run.
void ResetLibraryState();
