// The host's callback: every event and request of an instance reaches the host
// through it, always on that instance's worker thread, one call at a time. The
// type and the codes are the public header's; these are the driver's names.
#pragma once

#include <cstdint>

#include "include/qp240_remote.h"

// (user value, code, integer argument, pointer) -> result; the result is
// ignored for every code but kHostOfferKeypad.
typedef QP240REMOTE_Callback HostCallback;

inline constexpr int32_t kHostWorkerBegins = QP240REMOTE_CODE_WORKER_BEGINS;
inline constexpr int32_t kHostWorkerEnds = QP240REMOTE_CODE_WORKER_ENDS;
inline constexpr int32_t kHostConnected = QP240REMOTE_CODE_CONNECTED;
inline constexpr int32_t kHostNoKeypad = QP240REMOTE_CODE_NO_KEYPAD;
inline constexpr int32_t kHostOfferKeypad = QP240REMOTE_CODE_OFFER_KEYPAD;
inline constexpr int32_t kHostCloseKeypad = QP240REMOTE_CODE_CLOSE_KEYPAD;
inline constexpr int32_t kHostFillStatus = QP240REMOTE_CODE_FILL_STATUS;
inline constexpr int32_t kHostMidiBytes = QP240REMOTE_CODE_MIDI_BYTES;
inline constexpr int32_t kHostPadPressed = QP240REMOTE_CODE_PAD_PRESSED;
inline constexpr int32_t kHostPadReleased = QP240REMOTE_CODE_PAD_RELEASED;
inline constexpr int32_t kHostStopAllPads = QP240REMOTE_CODE_STOP_ALL_PADS;
inline constexpr int32_t kHostStopAllPlists = QP240REMOTE_CODE_STOP_ALL_PLISTS;
