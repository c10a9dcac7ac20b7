#include "tests/e2e/e2e_support.h"

#include <set>

#include "tools/host_simulator/simulated_keypads.h"

void DeleteSettingsKey(const KeypadFamily& family) {
    // Innermost first; a key that still holds another's is left.
    const std::vector<std::string> paths = SettingsKeyPaths(family);
    for (size_t i = paths.size(); i-- > 0;)
        RegDeleteKeyA(HKEY_CURRENT_USER, paths[i].c_str());
}

void DeleteSettingsKeys() {
    for (const KeypadFamily& family : kKeypadFamilies)
        DeleteSettingsKey(family);
}

static BOOL CALLBACK DestroyLeftWindow(HWND window, LPARAM) {
    DestroyWindow(window);
    return TRUE;
}

// How long a worker takes, at most, from its last callback to its thread's
// exit on a busy machine.
static constexpr DWORD kWorkerLeavesMs = 2000;

void StartFromCleanState() {
    LoadLibraryA("user32.dll");
    SimulatedDevicesUnplugAll();
    DeleteSettingsKeys();
    // Windows first: a box left open runs the code of its DLL.
    EnumThreadWindows(GetCurrentThreadId(), DestroyLeftWindow, 0);
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE))
        DispatchMessageA(&message);
    for (const KeypadFamily& family : kKeypadFamilies) {
        const std::string path = DeliverablePath(family);
        // A worker that an earlier test's Stop or Destroy has already answered
        // for may still be on its way out, holding the DLL until it has left
        // it: give it the time to go before any hold is taken from it.
        // A DLL that made a box stays mapped for good; once seen, it is not
        // waited for again.
        static std::set<std::string> pinned;
        for (DWORD waited = 0; waited < kWorkerLeavesMs && pinned.count(path) == 0 &&
                               GetModuleHandleA(path.c_str()) != nullptr;
             waited += 10)
            Sleep(10);
        // Bounded: a loader count far above what any test takes means trouble
        // the test itself reports.
        for (int releases = 0; releases < 16; ++releases) {
            HMODULE left = GetModuleHandleA(path.c_str());
            if (left == nullptr)
                break;
            typedef int32_t (*EndFunction)(void);
            EndFunction end = reinterpret_cast<EndFunction>(
                reinterpret_cast<void*>(GetProcAddress(left, "QP240REMOTE_End")));
            if (releases == 0 && end != nullptr)
                end();
            FreeLibrary(left);
        }
        if (GetModuleHandleA(path.c_str()) != nullptr)
            pinned.insert(path);
    }
}

void EachDeliverable::SetUp() {
    StartFromCleanState();
    char error[512];
    ASSERT_TRUE(DeliverableLoad(&d, DeliverablePath(*GetParam()).c_str(), error, sizeof error))
        << error;
}

void EachDeliverable::TearDown() {
    DeliverableUnload(&d);
}

std::vector<const KeypadFamily*> EveryFamily() {
    std::vector<const KeypadFamily*> every;
    for (const KeypadFamily& family : kKeypadFamilies)
        every.push_back(&family);
    return every;
}

std::string DeliverableParamName(const ::testing::TestParamInfo<const KeypadFamily*>& info) {
    return info.param->deliverableName;
}
