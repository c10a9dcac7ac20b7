// The host's callback: every event and request of an instance reaches the host
// through it, always on that instance's worker thread, one call at a time.
#pragma once

#include <cstdint>

// (user value, code, integer argument, pointer) -> result; the result is
// ignored for every code but kHostOfferKeypad.
typedef int32_t (*HostCallback)(intptr_t userValue, int32_t code, int32_t argument, void* pointer);

inline constexpr int32_t kHostWorkerBegins = 50;     // first call of a worker run
inline constexpr int32_t kHostWorkerEnds = 51;       // last call of a worker run
inline constexpr int32_t kHostConnected = 60;        // the accepted keypad is being polled
inline constexpr int32_t kHostNoKeypad = 70;         // after a refusal, and at worker end
inline constexpr int32_t kHostOfferKeypad = 80;      // pointer: device handle; nonzero accepts
inline constexpr int32_t kHostCloseKeypad = 81;      // pointer: device handle, or null
inline constexpr int32_t kHostFillStatus = 151;      // argument 172, pointer: status block
inline constexpr int32_t kHostMidiBytes = 1301;      // argument: byte count, pointer: bytes
inline constexpr int32_t kHostPadPressed = 1310;     // argument: pad number
inline constexpr int32_t kHostPadReleased = 1311;    // argument: pad number
inline constexpr int32_t kHostStopAllPads = 1314;    // argument 0
inline constexpr int32_t kHostStopAllPlists = 1315;  // argument 0
