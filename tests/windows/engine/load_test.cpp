// Many keypads at once: 64 instances, each connected to a keypad of its own
// that sends 1000 reports a second, while status blocks keep arriving. No
// event may be lost beyond the snapshots the ring refused (and counted), and
// every status block a worker copies must be whole and never older than the
// one it copied before. Also prints the CPU the load costs.
//
// The load lasts 3 s by default; KOLMAR_LOAD_SECONDS sets another length
// (10 for the full run).
#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "include/qp240_remote.h"
#include "tests/windows/engine/worker_fixture.h"
#include "tools/host_simulator/process_counts.h"

namespace {

constexpr int kInstances = 64;
constexpr int64_t kReportsPerSecond = 1000;
constexpr int64_t kReportsPerBatch = 10;
constexpr DWORD kBatchPeriodMs = 10;
constexpr DWORD kDefaultLoadSeconds = 3;
constexpr DWORD kStartStaggerMs = 5;
// A refused offer costs a detection period; many can meet on a busy machine.
constexpr DWORD kAllConnectedMs = 30000;
// Time for the workers to take what the ring still holds once the reports end.
constexpr DWORD kDrainMs = 10000;
// Every eighth host is slow once: it keeps the worker inside one pad event
// for longer than the ring's 127 snapshots last, so that its ring refuses
// some and the count of refusals is put to the test.
constexpr int kSlowHostEvery = 8;
constexpr int64_t kSlowAtEvent = 1000;
constexpr DWORD kSlowHostPauseMs = 400;

// One instance under load: its host, its keypad and what was seen.
struct LoadedKeypad {
    DriverInstance* instance;
    std::atomic<int32_t> connected;   // 1 once code 60 arrived
    std::atomic<int32_t> statusMark;  // the last mark the host put in a status block
    std::atomic<int64_t> events;      // pad events received (written by the worker)

    bool slow;  // pauses once inside a pad event

    // The worker's thread only (inside callbacks); read after Stop.
    HANDLE keypad;               // the keypad this host accepted
    int32_t refusedOffers;       // offers of a keypad another host holds
    int32_t otherEvents;         // event codes no report here should cause
    const int32_t* statusBlock;  // the instance's block, handed with code 151
    int32_t lastCopyMark;        // mark of the newest copy seen so far
    int64_t statusCopies;        // copies seen, each newer than the one before
    int64_t tornCopies;          // copies whose words disagree
    int64_t olderCopies;         // copies older than the one before

    // The feeding thread only; read after it ended.
    int64_t sent, refused;  // reports handed over; snapshots the ring refused
    int32_t badAnswers;     // id-55 calls that did not answer 0
};

// The keypads plugged in for the test, and which host holds each.
HANDLE g_keypads[kInstances];
std::atomic<LoadedKeypad*> g_holders[kInstances];

// A host accepts a keypad nobody holds and takes it out of the device list at
// once, so that the next detection pass of another instance finds the next
// free keypad first; a keypad already held is refused (offered again a second
// later, by then the next one).
int32_t AnswerOffer(LoadedKeypad* k, HANDLE device) {
    for (int i = 0; i < kInstances; ++i) {
        if (g_keypads[i] != device)
            continue;
        // Relaxed: the claim only has to be unique; the keypad reaches the
        // feeder through the release store of the connected flag.
        LoadedKeypad* nobody = nullptr;
        if (!g_holders[i].compare_exchange_strong(nobody, k, std::memory_order_relaxed))
            break;
        k->keypad = device;
        SimulatedDeviceUnplug(device);
        return 1;
    }
    ++k->refusedOffers;
    return 0;
}

void FillStatus(LoadedKeypad* k, int32_t* block) {
    // Relaxed: marks need only be unique and rising; the words themselves
    // reach the worker through the driver.
    const int32_t mark = k->statusMark.fetch_add(1, std::memory_order_relaxed) + 1;
    for (size_t i = 0; i < QP240REMOTE_HOST_STATUS_SIZE / sizeof(int32_t); ++i)
        block[i] = mark;
    k->statusBlock = block;
}

// On the worker, which also makes the copies: the block as the last polling
// pass left it.
void CheckStatusCopy(LoadedKeypad* k) {
    const int32_t mark = k->statusBlock[0];
    for (size_t i = 1; i < QP240REMOTE_HOST_STATUS_SIZE / sizeof(int32_t); ++i) {
        if (k->statusBlock[i] != mark) {
            ++k->tornCopies;
            return;
        }
    }
    if (mark < k->lastCopyMark) {
        ++k->olderCopies;
    } else if (mark > k->lastCopyMark) {
        ++k->statusCopies;
        k->lastCopyMark = mark;
    }
}

int32_t LoadHostCallback(intptr_t userValue, int32_t code, int32_t, void* pointer) {
    LoadedKeypad* k = reinterpret_cast<LoadedKeypad*>(userValue);
    switch (code) {
        case QP240REMOTE_CODE_OFFER_KEYPAD:
            return AnswerOffer(k, pointer);
        case QP240REMOTE_CODE_FILL_STATUS:
            FillStatus(k, static_cast<int32_t*>(pointer));
            return 0;
        case QP240REMOTE_CODE_CONNECTED:
            // Release pairs with the acquire load in WaitAllConnected: the
            // keypad is recorded.
            k->connected.store(1, std::memory_order_release);
            return 0;
        case QP240REMOTE_CODE_PAD_PRESSED:
        case QP240REMOTE_CODE_PAD_RELEASED:
            CheckStatusCopy(k);
            // Relaxed: a count, read once the workers are idle or stopped.
            if (k->events.fetch_add(1, std::memory_order_relaxed) == kSlowAtEvent && k->slow)
                Sleep(kSlowHostPauseMs);
            return 0;
        case QP240REMOTE_CODE_MIDI_BYTES:
        case QP240REMOTE_CODE_STOP_ALL_PADS:
        case QP240REMOTE_CODE_STOP_ALL_PLISTS:
            ++k->otherEvents;
            return 0;
    }
    return 0;
}

struct Feeding {
    const Deliverable* driver;
    LoadedKeypad* k;
    int64_t reports;  // to send in all, 1000 a second
    HANDLE thread;
    double cpuMs;  // the thread's CPU time, taken as it ends
};

// The host's reading of one keypad: batches of 10 reports every 10 ms (late
// batches catch up). Each report toggles one pad key against the snapshot the
// ring last took, so that every snapshot the worker takes makes exactly one
// event; the feeder is the ring's only producer, so the refused count tells it
// which snapshots were dropped.
DWORD WINAPI FeedKeypad(LPVOID argument) {
    Feeding* feeding = static_cast<Feeding*>(argument);
    LoadedKeypad* k = feeding->k;
    const KeypadModel* model = FindKeypadModel(kKeypadProduct);
    std::vector<int32_t> padKeys;
    for (int32_t key = 0; key < kProfile.keyCount; ++key)
        if (key != kProfile.stopAllPadsKey && key != kProfile.stopAllPlistsKey)
            padKeys.push_back(key);

    uint8_t taken[kMaxKeypadKeys] = {};  // all keys up after the connection
    uint8_t report[kRawInputRecordRoom];
    uint8_t record[kRawInputRecordRoom];
    std::atomic<int32_t>& refusedCount = k->instance->engine.reportQueue.refusedCount;
    const DWORD start = GetTickCount();
    while (k->sent < feeding->reports) {
        const int64_t batches = (GetTickCount() - start) / kBatchPeriodMs + 1;
        int64_t due = batches * kReportsPerBatch;
        if (due > feeding->reports)
            due = feeding->reports;
        for (; k->sent < due; ++k->sent) {
            uint8_t keys[kMaxKeypadKeys];
            std::copy(taken, taken + kMaxKeypadKeys, keys);
            keys[padKeys[k->sent % padKeys.size()]] ^= 1;
            const uint32_t length = BuildKeypadReport(*model, keys, report);
            const size_t size =
                WrapRawInputRecord(k->keypad, report, length, length, record, sizeof record);
            // Relaxed: this thread is the count's only writer.
            const int32_t refusedBefore = refusedCount.load(std::memory_order_relaxed);
            if (feeding->driver->SetGetInformations(k->instance, QP240REMOTE_INFO_INPUT_REPORT,
                                                    record, static_cast<int32_t>(size)) != 0)
                ++k->badAnswers;
            if (refusedCount.load(std::memory_order_relaxed) != refusedBefore)
                ++k->refused;
            else
                std::copy(keys, keys + kMaxKeypadKeys, taken);
        }
        Sleep(kBatchPeriodMs);
    }
    feeding->cpuMs = ThreadCpuMs(GetCurrentThread());
    return 0;
}

struct StatusFeeding {
    const Deliverable* driver;
    LoadedKeypad* keypads;
    std::atomic<int32_t> stop;
    int64_t sent;
};

// Another host thread hands every instance new status blocks, round after
// round, faster than the workers take them.
DWORD WINAPI FeedStatus(LPVOID argument) {
    StatusFeeding* feeding = static_cast<StatusFeeding*>(argument);
    int32_t block[QP240REMOTE_HOST_STATUS_SIZE / sizeof(int32_t)];
    // Relaxed: the flag only ends the loop; nothing else passes with it.
    while (feeding->stop.load(std::memory_order_relaxed) == 0) {
        for (int i = 0; i < kInstances; ++i) {
            LoadedKeypad* k = &feeding->keypads[i];
            // Relaxed, as in FillStatus.
            const int32_t mark = k->statusMark.fetch_add(1, std::memory_order_relaxed) + 1;
            std::fill(std::begin(block), std::end(block), mark);
            feeding->driver->SetGetInformations(k->instance, QP240REMOTE_INFO_HOST_STATUS, block,
                                                sizeof block);
            ++feeding->sent;
        }
        Sleep(1);
    }
    return 0;
}

DWORD LoadSeconds() {
    char text[16];
    const DWORD length = GetEnvironmentVariableA("KOLMAR_LOAD_SECONDS", text, sizeof text);
    const int seconds = length > 0 && length < sizeof text ? std::atoi(text) : 0;
    return seconds > 0 ? static_cast<DWORD>(seconds) : kDefaultLoadSeconds;
}

bool WaitAllConnected(LoadedKeypad* keypads) {
    const DWORD start = GetTickCount();
    for (int i = 0; i < kInstances; ++i)
        while (keypads[i].connected.load(std::memory_order_acquire) == 0) {
            if (GetTickCount() - start > kAllConnectedMs)
                return false;
            Sleep(10);
        }
    return true;
}

// Waits until every instance received one event per snapshot its ring took.
bool WaitDrained(LoadedKeypad* keypads) {
    const DWORD start = GetTickCount();
    for (int i = 0; i < kInstances; ++i) {
        const int64_t taken = keypads[i].sent - keypads[i].refused;
        while (keypads[i].events.load(std::memory_order_relaxed) < taken) {
            if (GetTickCount() - start > kDrainMs)
                return false;
            Sleep(10);
        }
    }
    return true;
}

double WorkersCpuMs(LoadedKeypad* keypads) {
    HANDLE workers[kInstances];
    for (int i = 0; i < kInstances; ++i)
        workers[i] = keypads[i].instance->engine.run.thread;  // the workers run: their runs stand
    return ThreadsCpuMs(workers, kInstances);
}

double FeedersCpuMs(const std::vector<Feeding>& feedings) {
    double sum = 0;
    for (const Feeding& feeding : feedings)
        sum += feeding.cpuMs;
    return sum;
}

TEST_F(WorkerTest, SixtyFourKeypadsAtOnceLoseNoEventBeyondTheRefusedSnapshots) {
    const DWORD seconds = LoadSeconds();
    std::vector<LoadedKeypad> keypads(kInstances);
    for (int i = 0; i < kInstances; ++i) {
        g_keypads[i] = SimulatedDevicePlug(KeypadDevice(kKeypadProduct));
        g_holders[i].store(nullptr);
        ASSERT_NE(g_keypads[i], nullptr);
    }
    const QP240REMOTE_Context padProtocol = {0, 0, 0};
    for (LoadedKeypad& k : keypads) {
        k.slow = (&k - keypads.data()) % kSlowHostEvery == 0;
        k.instance = static_cast<DriverInstance*>(
            driver.Create(LoadHostCallback, reinterpret_cast<intptr_t>(&k)));
        ASSERT_NE(k.instance, nullptr);
        ASSERT_EQ(driver.SetContext(k.instance, &padProtocol, sizeof padProtocol), 0);
    }
    // Staggered, so that most detection passes find the keypads the passes
    // before took already gone.
    // (Not ASSERT: the instances started so far must still be stopped below.)
    for (LoadedKeypad& k : keypads) {
        EXPECT_EQ(driver.Start(k.instance), 0);
        Sleep(kStartStaggerMs);
    }
    const bool allConnected = WaitAllConnected(keypads.data());
    EXPECT_TRUE(allConnected) << "every instance holds a keypad of its own";

    StatusFeeding statusFeeding = {&driver, keypads.data(), {0}, 0};
    std::vector<Feeding> feedings(kInstances);
    const double processCpuBefore = ProcessCpuMs();
    const double workersCpuBefore = WorkersCpuMs(keypads.data());
    const DWORD start = GetTickCount();
    HANDLE statusThread = nullptr;
    if (allConnected) {
        statusThread = CreateThread(nullptr, 0, FeedStatus, &statusFeeding, 0, nullptr);
        for (int i = 0; i < kInstances; ++i) {
            feedings[i] = Feeding{&driver, &keypads[i], kReportsPerSecond * seconds, nullptr, 0};
            feedings[i].thread = CreateThread(nullptr, 0, FeedKeypad, &feedings[i], 0, nullptr);
        }
    }
    for (Feeding& feeding : feedings)
        if (feeding.thread != nullptr)
            WaitForSingleObject(feeding.thread, INFINITE);
    const DWORD loadMs = GetTickCount() - start;
    const double processCpu = ProcessCpuMs() - processCpuBefore;
    const double workersCpu = WorkersCpuMs(keypads.data()) - workersCpuBefore;
    const double feedersCpu = FeedersCpuMs(feedings);
    const double statusCpu = statusThread != nullptr ? ThreadCpuMs(statusThread) : 0;
    const bool drained = WaitDrained(keypads.data());
    EXPECT_TRUE(drained) << "events missing after the reports ended";
    statusFeeding.stop.store(1, std::memory_order_relaxed);
    if (statusThread != nullptr) {
        WaitForSingleObject(statusThread, INFINITE);
        CloseHandle(statusThread);
    }
    for (Feeding& feeding : feedings)
        if (feeding.thread != nullptr)
            CloseHandle(feeding.thread);

    int64_t sent = 0, refused = 0, events = 0, copies = 0;
    for (LoadedKeypad& k : keypads) {
        EXPECT_EQ(driver.Stop(k.instance), 0);
        // The workers have ended: everything they wrote is visible.
        const int64_t ringRefused = k.instance->engine.reportQueue.refusedCount.load();
        EXPECT_EQ(k.refused, ringRefused);
        EXPECT_EQ(k.events.load(), k.sent - ringRefused) << "events lost beyond the refused";
        EXPECT_EQ(k.badAnswers, 0);
        EXPECT_EQ(k.otherEvents, 0);
        EXPECT_EQ(k.tornCopies, 0) << "a status block copied half overwritten";
        EXPECT_EQ(k.olderCopies, 0) << "a status block older than the one before";
        if (allConnected) {
            EXPECT_GE(k.statusCopies, 2) << "new status blocks reach the worker";
        }
        if (allConnected && k.slow) {
            EXPECT_GT(ringRefused, 0) << "a slow host fills the ring";
        }
        sent += k.sent;
        refused += ringRefused;
        events += k.events.load();
        copies += k.statusCopies;
        EXPECT_EQ(driver.Destroy(k.instance), 0);
    }
    int32_t refusedOffers = 0;
    for (const LoadedKeypad& k : keypads)
        refusedOffers += k.refusedOffers;

    const double wallMs = loadMs > 0 ? loadMs : 1;
    std::printf("%d instances, %lu s of load (%lu ms): reports sent %lld, accepted %lld, refused "
                "%lld, events received %lld; status blocks sent %lld, new copies seen %lld; "
                "offers refused while connecting %d\n",
                kInstances, seconds, loadMs, static_cast<long long>(sent),
                static_cast<long long>(sent - refused), static_cast<long long>(refused),
                static_cast<long long>(events), static_cast<long long>(statusFeeding.sent),
                static_cast<long long>(copies), refusedOffers);
    std::printf(
        "CPU per second of wall time, as %% of one core: process %.1f%%, the %d workers "
        "%.1f%%, the %d reading threads (report building and id-55 calls) %.1f%%, the status "
        "thread (id-56 calls) %.1f%%\n",
        100 * processCpu / wallMs, kInstances, 100 * workersCpu / wallMs, kInstances,
        100 * feedersCpu / wallMs, 100 * statusCpu / wallMs);
}

}  // namespace
