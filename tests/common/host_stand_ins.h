// Stand-ins for a host that the Windows and end-to-end tests share: a
// callback for instances that never run, and every export that takes a
// handle called at once.
#pragma once

#include <cstdint>
#include <vector>

#include "include/qp240_remote.h"
#include "tools/host_simulator/deliverable.h"

// A host callback for instances that are never started: it answers 0.
inline int32_t IgnoringCallback(intptr_t, int32_t, int32_t, void*) {
    return 0;
}

// Every export that takes a handle but Destroy, called with `handle` and
// harmless other arguments; what each answered, GetDriverStatus last.
inline std::vector<int32_t> CallEveryHandleExport(const Deliverable& d, QP240REMOTE_Handle handle) {
    QP240REMOTE_Context context = {};
    uint8_t record[QP240REMOTE_HOST_STATUS_SIZE] = {};
    return {d.Start(handle),
            d.Stop(handle),
            d.GetContextSize(handle),
            d.GetContext(handle, &context),
            d.SetContext(handle, &context, sizeof context),
            d.ResetContext(handle, 1),
            d.OpenConfigBox(handle, nullptr, 0, 0, 10, 10),
            d.CloseConfigBox(handle),
            d.SetGetInformations(handle, QP240REMOTE_INFO_INPUT_REPORT, record, 64),
            d.SetGetInformations(handle, QP240REMOTE_INFO_HOST_STATUS, record, sizeof record),
            d.SetGetInformations(handle, 57, nullptr, 0),
            d.GetDriverStatus(handle)};
}

// What CallEveryHandleExport answers for a handle that fails the check.
inline const std::vector<int32_t> kEveryHandleExportRefused = {
    QP240REMOTE_E_BAD_HANDLE, QP240REMOTE_E_BAD_HANDLE, QP240REMOTE_E_BAD_HANDLE,
    QP240REMOTE_E_BAD_HANDLE, QP240REMOTE_E_BAD_HANDLE, QP240REMOTE_E_BAD_HANDLE,
    QP240REMOTE_E_BAD_HANDLE, QP240REMOTE_E_BAD_HANDLE, QP240REMOTE_E_BAD_HANDLE,
    QP240REMOTE_E_BAD_HANDLE, QP240REMOTE_E_BAD_HANDLE, QP240REMOTE_DRIVER_NOT_STARTED};
