// Each acquisition of Init, Create, Start and OpenConfigBox failed in turn, in
// the real DLLs: the DLL's own imports of the system functions are replaced,
// so the shipped code takes its real failure paths.
#include <cstring>

#include <gtest/gtest.h>

#include "include/qp240_remote.h"
#include "tests/e2e/e2e_support.h"
#include "tools/host_simulator/import_patch.h"

namespace {

// Allocation: the call numbered g_failAllocation (counting malloc and calloc
// together from 1) fails; 0 fails none. Counted on every thread of the DLL.
LONG g_allocations = 0;
LONG g_failAllocation = 0;
void* (*g_realMalloc)(size_t) = nullptr;
void* (*g_realCalloc)(size_t, size_t) = nullptr;

bool AllocationFails() {
    const LONG call = InterlockedIncrement(&g_allocations);
    return g_failAllocation != 0 && call == g_failAllocation;
}
void* FailingMalloc(size_t size) {
    return AllocationFails() ? nullptr : g_realMalloc(size);
}
void* FailingCalloc(size_t count, size_t size) {
    return AllocationFails() ? nullptr : g_realCalloc(count, size);
}

HANDLE WINAPI NoCreateThread(LPSECURITY_ATTRIBUTES, SIZE_T, LPTHREAD_START_ROUTINE, LPVOID, DWORD,
                             LPDWORD) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
}
ATOM WINAPI NoRegisterClassExA(const WNDCLASSEXA*) {
    return 0;
}
ATOM WINAPI NoRegisterClassA(const WNDCLASSA*) {
    return 0;
}
HWND WINAPI NoCreateWindowExA(DWORD, LPCSTR, LPCSTR, DWORD, int, int, int, int, HWND, HMENU,
                              HINSTANCE, LPVOID) {
    return nullptr;
}
HMODULE WINAPI NoModuleHandleA(LPCSTR) {
    return nullptr;
}

FARPROC(WINAPI* g_realGetProcAddress)(HMODULE, LPCSTR) = nullptr;
FARPROC WINAPI WithoutDeviceInfo(HMODULE module, LPCSTR name) {
    if (HIWORD(reinterpret_cast<ULONG_PTR>(name)) != 0 &&
        std::strcmp(name, "GetRawInputDeviceInfoA") == 0)
        return nullptr;
    return g_realGetProcAddress(module, name);
}

class FaultInjection : public EachDeliverable {
  protected:
    // Replaces an import of the DLL under test, remembering how to put it back.
    template <typename Function>
    Function Patch(const char* dll, const char* name, Function replacement) {
        void* previous = ReplaceImport(d.module, dll, name, reinterpret_cast<void*>(replacement));
        EXPECT_NE(previous, nullptr) << "the DLL does not import " << name;
        patched.push_back({dll, name, previous});
        return reinterpret_cast<Function>(previous);
    }
    void Unpatch() {
        for (auto it = patched.rbegin(); it != patched.rend(); ++it)
            ReplaceImport(d.module, it->dll, it->name, it->previous);
        patched.clear();
    }
    void TearDown() override {
        Unpatch();
        EachDeliverable::TearDown();
    }
    struct Patched {
        const char* dll;
        const char* name;
        void* previous;
    };
    std::vector<Patched> patched;
};

TEST_P(FaultInjection, EveryAllocationOfCreateFailedInTurn) {
    ASSERT_EQ(d.Init(d.module), QP240REMOTE_OK);
    g_realMalloc = Patch("msvcrt.dll", "malloc", FailingMalloc);
    g_realCalloc = Patch("msvcrt.dll", "calloc", FailingCalloc);

    int failedAllocations = 0;
    for (LONG fail = 1;; ++fail) {
        g_allocations = 0;
        g_failAllocation = fail;
        void* instance = d.Create(IgnoringCallback, 0);
        const LONG made = g_allocations;
        g_failAllocation = 0;
        if (made < fail) {
            // Create makes fewer allocations than this: every one has failed once.
            ASSERT_NE(instance, nullptr);
            EXPECT_EQ(d.Destroy(instance), QP240REMOTE_OK);
            break;
        }
        ++failedAllocations;
        if (fail == 1) {
            // The record itself: no instance, and the error text is not touched.
            EXPECT_EQ(instance, nullptr);
            EXPECT_STREQ(d.GetLastErrorString(), kErrorTextAtLoad);
            continue;
        }
        // A ring or exchange without storage: the instance still works and
        // takes data without storing into missing storage.
        ASSERT_NE(instance, nullptr) << "allocation " << fail;
        uint8_t block[QP240REMOTE_HOST_STATUS_SIZE] = {};
        EXPECT_EQ(d.SetGetInformations(instance, QP240REMOTE_INFO_HOST_STATUS, block, sizeof block),
                  QP240REMOTE_OK);
        EXPECT_EQ(
            d.SetGetInformations(instance, QP240REMOTE_INFO_INPUT_REPORT, block, sizeof block),
            QP240REMOTE_E_NOT_CONNECTED);
        EXPECT_EQ(d.Start(instance), QP240REMOTE_OK);
        EXPECT_EQ(d.Stop(instance), QP240REMOTE_OK);
        EXPECT_EQ(d.Destroy(instance), QP240REMOTE_OK);
    }
    EXPECT_GE(failedAllocations, 3) << "the record, the ring and the exchange";
    d.End();
}

TEST_P(FaultInjection, StartWithoutAThreadCountsAsStartedUntilStop) {
    ASSERT_EQ(d.Init(d.module), QP240REMOTE_OK);
    void* instance = d.Create(IgnoringCallback, 0);
    ASSERT_NE(instance, nullptr);
    Patch("kernel32.dll", "CreateThread", NoCreateThread);
    EXPECT_EQ(d.Start(instance), QP240REMOTE_E_NO_THREAD);
    EXPECT_EQ(d.Start(instance), QP240REMOTE_ALREADY);
    EXPECT_EQ(d.GetDriverStatus(instance), QP240REMOTE_DRIVER_DETECTING);
    EXPECT_EQ(d.Stop(instance), QP240REMOTE_OK);
    EXPECT_EQ(d.GetDriverStatus(instance), QP240REMOTE_DRIVER_NOT_STARTED);
    Unpatch();
    EXPECT_EQ(d.Start(instance), QP240REMOTE_OK);
    EXPECT_EQ(d.Stop(instance), QP240REMOTE_OK);
    EXPECT_EQ(d.Destroy(instance), QP240REMOTE_OK);
    d.End();
}

TEST_P(FaultInjection, InitFailsAtTheBoxClassThenAtTheToolkitAndWhatWasDoneStaysDone) {
    Patch("user32.dll", "RegisterClassExA", NoRegisterClassExA);
    EXPECT_EQ(d.Init(d.module), QP240REMOTE_E_BOX_CLASS);
    EXPECT_EQ(d.Create(IgnoringCallback, 0), nullptr);
    EXPECT_STREQ(d.GetLastErrorString(), kErrorTextNotInitialized);
    Unpatch();

    Patch("user32.dll", "RegisterClassA", NoRegisterClassA);
    EXPECT_EQ(d.Init(d.module), QP240REMOTE_E_TOOLKIT);
    EXPECT_EQ(d.Create(IgnoringCallback, 0), nullptr);
    Unpatch();
    // The box class stayed registered: another Init fails at it.
    EXPECT_EQ(d.Init(d.module), QP240REMOTE_E_BOX_CLASS);

    // End undoes both; a new Init then succeeds.
    EXPECT_EQ(d.End(), QP240REMOTE_OK);
    EXPECT_EQ(d.Init(d.module), QP240REMOTE_OK);
    void* instance = d.Create(IgnoringCallback, 0);
    ASSERT_NE(instance, nullptr);
    EXPECT_EQ(d.Destroy(instance), QP240REMOTE_OK);
    d.End();
}

TEST_P(FaultInjection, MissingUserInterfaceModuleOrRawInputFunction) {
    Patch("kernel32.dll", "GetModuleHandleA", NoModuleHandleA);
    EXPECT_EQ(d.Init(d.module), QP240REMOTE_E_NO_USER32);
    Unpatch();
    // The initialised mark is set, but without the raw-input functions no
    // instance is made, and no error text says so.
    EXPECT_EQ(d.Create(IgnoringCallback, 0), nullptr);
    EXPECT_STREQ(d.GetLastErrorString(), kErrorTextAtLoad);
    EXPECT_EQ(d.End(), QP240REMOTE_OK);

    g_realGetProcAddress = Patch("kernel32.dll", "GetProcAddress", WithoutDeviceInfo);
    EXPECT_EQ(d.Init(d.module), QP240REMOTE_OK);
    Unpatch();
    EXPECT_EQ(d.Create(IgnoringCallback, 0), nullptr);
    EXPECT_STREQ(d.GetLastErrorString(), kErrorTextAtLoad);
    d.End();
}

TEST_P(FaultInjection, BoxWindowThatCannotBeMadeIsRetriedByTheNextOpen) {
    ASSERT_EQ(d.Init(d.module), QP240REMOTE_OK);
    void* instance = d.Create(IgnoringCallback, 0);
    ASSERT_NE(instance, nullptr);
    HWND parent = CreateWindowExA(0, "STATIC", "host", WS_OVERLAPPEDWINDOW, 0, 0, 640, 400, nullptr,
                                  nullptr, nullptr, nullptr);
    ASSERT_NE(parent, nullptr);

    Patch("user32.dll", "CreateWindowExA", NoCreateWindowExA);
    EXPECT_EQ(
        d.OpenConfigBox(instance, parent, 0, 0, QP240REMOTE_BOX_WIDTH, QP240REMOTE_BOX_HEIGHT),
        QP240REMOTE_E_NO_WINDOW);
    EXPECT_EQ(d.CloseConfigBox(instance), QP240REMOTE_ALREADY);
    Unpatch();
    EXPECT_EQ(
        d.OpenConfigBox(instance, parent, 0, 0, QP240REMOTE_BOX_WIDTH, QP240REMOTE_BOX_HEIGHT),
        QP240REMOTE_OK);
    EXPECT_EQ(
        d.OpenConfigBox(instance, parent, 0, 0, QP240REMOTE_BOX_WIDTH, QP240REMOTE_BOX_HEIGHT),
        QP240REMOTE_ALREADY);
    EXPECT_EQ(d.CloseConfigBox(instance), QP240REMOTE_OK);

    EXPECT_EQ(d.Destroy(instance), QP240REMOTE_OK);
    DestroyWindow(parent);
    d.End();
}

KOLMAR_FOR_BOTH_DELIVERABLES(FaultInjection);

}  // namespace
