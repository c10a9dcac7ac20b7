// The library's error texts, as QP240REMOTE_GetLastErrorString's comment in
// the public header gives them: the torture and the end-to-end tests hold the
// DLLs' answers to these.
#pragma once

inline constexpr char kErrorTextAtLoad[] = "no-error";
inline constexpr char kErrorTextNotCreated[] = "Object not created";
inline constexpr char kErrorTextNotInitialized[] = "Library is not initialized";
