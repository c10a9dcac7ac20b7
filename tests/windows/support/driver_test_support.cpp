#include "tests/windows/support/driver_test_support.h"

#include <cstring>

#include "config/settings.h"
#include "config/settings_key.h"
#include "driver/library_state.h"
#include "driver/qp240_remote.h"
#include "toolkit/drawing_resources.h"

void RecordingHostInit(RecordingHost* host) {
    InitializeCriticalSection(&host->lock);
    host->calls.clear();
    host->offerAnswer = 0;
}

void RecordingHostFree(RecordingHost* host) {
    DeleteCriticalSection(&host->lock);
}

int32_t RecordingHostCallback(intptr_t userValue, int32_t code, int32_t argument, void* pointer) {
    RecordingHost* host = reinterpret_cast<RecordingHost*>(userValue);
    RecordedCall call{code, argument, pointer, {}, GetCurrentThreadId()};
    if (code == kHostMidiBytes && pointer != nullptr && argument > 0) {
        const uint8_t* bytes = static_cast<const uint8_t*>(pointer);
        call.bytes.assign(bytes, bytes + argument);
    }
    EnterCriticalSection(&host->lock);
    host->calls.push_back(call);
    const int32_t answer = host->offerAnswer;
    LeaveCriticalSection(&host->lock);
    return code == kHostOfferKeypad ? answer : 0;
}

std::vector<RecordedCall> RecordedCalls(RecordingHost* host) {
    EnterCriticalSection(&host->lock);
    std::vector<RecordedCall> copy = host->calls;
    LeaveCriticalSection(&host->lock);
    return copy;
}

std::vector<int32_t> RecordedCodes(RecordingHost* host) {
    std::vector<int32_t> codes;
    for (const RecordedCall& call : RecordedCalls(host))
        codes.push_back(call.code);
    return codes;
}

bool WaitForCode(RecordingHost* host, int32_t code, DWORD timeoutMs) {
    const DWORD start = GetTickCount();
    for (;;) {
        for (const RecordedCall& call : RecordedCalls(host))
            if (call.code == code)
                return true;
        if (GetTickCount() - start >= timeoutMs)
            return false;
        Sleep(5);
    }
}

void DeleteVariantSettingsKey() {
    char path[kSettingsKeyPathSize];
    FormatSettingsKeyPath(kProfile.guid, path);
    // Only this variant's key: the keys above it are shared with the other
    // variant's test programs, which may be creating their own key beneath
    // them at this moment (deleting a parent then fails their create).
    RegDeleteKeyA(HKEY_CURRENT_USER, path);
}

void ResetLibraryState() {
    QP240REMOTE_End();
    while (g_drawing.referenceCount > 0)
        ToolkitEnd();
    g_drawing.referenceCount = 0;
    std::memset(&g_library, 0, sizeof g_library);
    std::strcpy(g_library.lastErrorText, "no-error");
    g_library.module = GetModuleHandleA(nullptr);
    g_libraryDefaults = LibraryDefaults{0, 0, 0};
    DeleteVariantSettingsKey();
}
