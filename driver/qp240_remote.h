// The sixteen exports of a Kolmar keypad driver, as a host sees them. A host
// loads the library, resolves these names with GetProcAddress (or links them)
// and calls them from any of its threads.
#pragma once

#include <cstdint>

#include "driver/host_callback.h"
#include "driver/platform_types.h"

extern "C" {

int32_t QP240REMOTE_Init(HMODULE module);
int32_t QP240REMOTE_End(void);
int32_t QP240REMOTE_GetPlugInformation(int32_t index, void* out);
const char* QP240REMOTE_GetLastErrorString(void);
void* QP240REMOTE_Create(HostCallback callback, intptr_t userValue);
int32_t QP240REMOTE_Destroy(void* handle);
int32_t QP240REMOTE_Start(void* handle);
int32_t QP240REMOTE_Stop(void* handle);
int32_t QP240REMOTE_GetDriverStatus(void* handle);
int32_t QP240REMOTE_GetContextSize(void* handle);
int32_t QP240REMOTE_GetContext(void* handle, void* out);
int32_t QP240REMOTE_SetContext(void* handle, const void* in, int32_t size);
int32_t QP240REMOTE_ResetContext(void* handle, int32_t reset);
int32_t QP240REMOTE_OpenConfigBox(void* handle, HWND parent, int32_t x, int32_t y, int32_t width,
                                  int32_t height);
int32_t QP240REMOTE_CloseConfigBox(void* handle);
int32_t QP240REMOTE_SetGetInformations(void* handle, int32_t id, void* data, int32_t size);

}  // extern "C"

// Identifiers of the data a host pushes with QP240REMOTE_SetGetInformations.
inline constexpr int32_t kInformationInputReport = 55;  // the keypad's raw-input record
inline constexpr int32_t kInformationHostStatus = 56;   // the 172-byte status block
