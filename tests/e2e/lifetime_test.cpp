// A host that runs for months creates, starts, connects, stops and destroys
// instances thousands of times and may end and initialise the library again
// and again: through the real DLLs, none of that may leave a heap block of the
// DLLs, a kernel handle, a thread or a GDI object behind.
#include <atomic>
#include <cstdio>
#include <vector>

#include "include/qp240_remote.h"
#include "tests/e2e/engine_support.h"
#include "tools/host_simulator/heap_watch.h"
#include "tools/host_simulator/process_counts.h"

namespace {

// Per DLL: 100 instances live at once, each through 10 whole lifetimes, so
// that the 1000 detection periods of each DLL's 1000 lifetimes share about
// ten seconds of wall time.
constexpr int kInstancesAtOnce = 100;
constexpr int kLifetimesEach = 10;
constexpr int kInitEndCycles = 100;
// 200 workers wake at once on two busy cores: far more than one detection
// period of room.
constexpr DWORD kLifetimeConnectMs = 15000;
// What each lifetime allocates in the DLL at least: the record, the ring, the
// exchange and the worker's device list.
constexpr int32_t kAllocationsPerLifetime = 4;

struct Holdings {
    ProcessCounts process;
    HeapWatchHeld heap;
};

int32_t NoCalls(intptr_t, int32_t, int32_t, void*) {
    return 0;
}

// A destroyed instance's record waits in its DLL's quarantine for the next
// QP240REMOTE_STALE_HANDLE_CREATES Creates. After that many instances made and
// destroyed one after the other, each DLL's quarantine holds exactly them, so
// holdings taken after settling compare.
void SettleQuarantines(DriverUnderTest* drivers) {
    for (int i = 0; i < kKeypadFamilyCount; ++i) {
        for (int n = 0; n < QP240REMOTE_STALE_HANDLE_CREATES; ++n) {
            auto instance = drivers[i].driver.Create(NoCalls, 0);
            ASSERT_NE(instance, nullptr);
            ASSERT_EQ(drivers[i].driver.Destroy(instance), QP240REMOTE_OK);
        }
    }
}

Holdings TakeHoldings() {
    return Holdings{TakeProcessCounts(), HeapWatchHeldSoFar()};
}

void PrintHoldings(const char* when, const Holdings& held) {
    char process[160];
    DescribeProcessCounts(held.process, process, sizeof process);
    std::printf("%s: DLL heap blocks %lld (%lld bytes); %s\n", when,
                static_cast<long long>(held.heap.blocks), static_cast<long long>(held.heap.bytes),
                process);
}

void ExpectSameHoldings(const Holdings& before, const Holdings& after) {
    EXPECT_EQ(after.heap.blocks, before.heap.blocks);
    EXPECT_EQ(after.heap.bytes, before.heap.bytes);
    EXPECT_EQ(after.process.kernelHandles, before.process.kernelHandles);
    EXPECT_EQ(after.process.threads, before.process.threads);
    EXPECT_EQ(after.process.gdiObjects, before.process.gdiObjects);
}

// One thread's share: whole instance lifetimes, one after the other.
struct LifetimeRunner {
    DriverUnderTest* d;
    int lifetimes;
    std::atomic<int>* connected;  // lifetimes whose keypad was accepted
};

DWORD WINAPI RunLifetimes(LPVOID argument) {
    const LifetimeRunner* runner = static_cast<const LifetimeRunner*>(argument);
    Deliverable& driver = runner->d->driver;
    for (int i = 0; i < runner->lifetimes; ++i) {
        SimulatedHost host;
        SimulatedHostInit(&host, &driver, "lifetime");
        if (SimulatedHostCreate(&host) != nullptr) {
            if (SimulatedHostStartAndConnect(&host, kLifetimeConnectMs))
                runner->connected->fetch_add(1);
            driver.Stop(host.instance);
            driver.Destroy(host.instance);
        }
        SimulatedHostFree(&host);
    }
    return 0;
}

// `lifetimes` per instance of `instances` at once for each DLL; answers how
// many lifetimes connected.
int RunLifetimesOfBoth(DriverUnderTest* drivers, int instances, int lifetimes) {
    std::atomic<int> connected{0};
    std::vector<LifetimeRunner> runners;
    for (int i = 0; i < kKeypadFamilyCount * instances; ++i)
        runners.push_back(LifetimeRunner{&drivers[i % kKeypadFamilyCount], lifetimes, &connected});
    std::vector<HANDLE> threads;
    for (LifetimeRunner& runner : runners)
        threads.push_back(CreateThread(nullptr, 0, RunLifetimes, &runner, 0, nullptr));
    for (HANDLE thread : threads) {
        if (thread == nullptr)
            continue;
        WaitForSingleObject(thread, INFINITE);
        CloseHandle(thread);
    }
    return connected.load();
}

// The measures are not blind: a connected instance of each DLL shows as its
// worker thread and the four heap blocks it holds (record, ring, exchange,
// device list), and all of it is gone after Stop and Destroy.
TEST_F(BothDrivers, TheCountsSeeWhatAConnectedInstanceHolds) {
    SimulatedHost hosts[kKeypadFamilyCount];
    for (int i = 0; i < kKeypadFamilyCount; ++i) {
        ASSERT_TRUE(HeapWatchInstall(drivers[i].driver.module));
        SimulatedDevicePlug(KeypadDevice(drivers[i].family->productIds[0]));
        SimulatedHostInit(&hosts[i], &drivers[i].driver, drivers[i].family->deliverableName);
    }
    SettleQuarantines(drivers);
    const Holdings before = TakeHoldings();
    for (int i = 0; i < kKeypadFamilyCount; ++i) {
        ASSERT_NE(SimulatedHostCreate(&hosts[i]), nullptr);
        ASSERT_EQ(drivers[i].driver.Start(hosts[i].instance), QP240REMOTE_OK);
    }
    for (SimulatedHost& host : hosts)
        ASSERT_TRUE(SimulatedHostWaitFor(&host, QP240REMOTE_CODE_CONNECTED, 1, kConnectTimeoutMs));
    const Holdings running = TakeHoldings();
    EXPECT_EQ(running.heap.blocks, before.heap.blocks + 2 * kAllocationsPerLifetime);
    EXPECT_GT(running.heap.bytes, before.heap.bytes);
    EXPECT_EQ(running.process.threads, before.process.threads + 2);
    EXPECT_GE(running.process.kernelHandles, before.process.kernelHandles + 2);
    for (int i = 0; i < kKeypadFamilyCount; ++i) {
        EXPECT_EQ(drivers[i].driver.Stop(hosts[i].instance), QP240REMOTE_OK);
        EXPECT_EQ(drivers[i].driver.Destroy(hosts[i].instance), QP240REMOTE_OK);
    }
    ExpectSameHoldings(before, TakeHoldings());
    for (SimulatedHost& host : hosts)
        SimulatedHostFree(&host);
}

TEST_F(BothDrivers, ThousandsOfInstanceLifetimesLeaveTheProcessAsTheyFoundIt) {
    for (DriverUnderTest& d : drivers) {
        ASSERT_TRUE(HeapWatchInstall(d.driver.module));
        // Every instance of a DLL may take the same keypad: the simulated
        // host opens it for each.
        SimulatedDevicePlug(KeypadDevice(d.family->productIds[0]));
    }
    // A first round: the system sets up what it keeps for the rest of the
    // process the first time so many threads run.
    ASSERT_EQ(RunLifetimesOfBoth(drivers, kInstancesAtOnce, 1), 2 * kInstancesAtOnce);

    SettleQuarantines(drivers);
    const Holdings before = TakeHoldings();
    HeapWatchResetCount();
    HeapWatchArm(true);
    const DWORD start = GetTickCount();
    const int connected = RunLifetimesOfBoth(drivers, kInstancesAtOnce, kLifetimesEach);
    const DWORD elapsed = GetTickCount() - start;
    HeapWatchArm(false);
    SettleQuarantines(drivers);
    const Holdings after = TakeHoldings();

    const int lifetimes = 2 * kInstancesAtOnce * kLifetimesEach;
    std::printf("%d lifetimes (Create, Start, keypad accepted, Stop, Destroy) of both DLLs, %d "
                "at once, in %lu ms; %d connected; %d DLL heap allocations\n",
                lifetimes, 2 * kInstancesAtOnce, elapsed, connected, HeapWatchAllocations());
    PrintHoldings("before", before);
    PrintHoldings("after ", after);
    EXPECT_EQ(connected, lifetimes);
    EXPECT_GE(HeapWatchAllocations(), kAllocationsPerLifetime * lifetimes)
        << "the watch must see the DLLs' own allocations";
    ExpectSameHoldings(before, after);
}

TEST_F(BothDrivers, HundredsOfInitAndEndCyclesLeaveTheProcessAsTheyFoundIt) {
    for (DriverUnderTest& d : drivers) {
        ASSERT_TRUE(HeapWatchInstall(d.driver.module));
        // The fixture's Init was the first cycle.
        EXPECT_EQ(d.driver.End(), QP240REMOTE_OK);
    }
    const Holdings before = TakeHoldings();
    for (int cycle = 0; cycle < kInitEndCycles; ++cycle) {
        for (DriverUnderTest& d : drivers) {
            ASSERT_EQ(d.driver.Init(d.driver.module), QP240REMOTE_OK) << "cycle " << cycle;
            ASSERT_EQ(d.driver.End(), QP240REMOTE_OK);
        }
    }
    const Holdings after = TakeHoldings();
    std::printf("%d Init and End cycles of each DLL\n", kInitEndCycles);
    PrintHoldings("before", before);
    PrintHoldings("after ", after);
    ExpectSameHoldings(before, after);
    // And while initialised the library does hold its drawing objects, so
    // the GDI count is not blind to them.
    const int gdiEnded = LiveGdiObjects();
    ASSERT_EQ(drivers[0].driver.Init(drivers[0].driver.module), QP240REMOTE_OK);
    EXPECT_GT(LiveGdiObjects(), gdiEnded);
}

}  // namespace
