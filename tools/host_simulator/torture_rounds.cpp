// The rounds' thread: one instance at a time made quiet (no call of the other
// threads in flight) for what can only be checked then: the status against
// the worker, the instance's boxes, the heaps; and the scenes it stages there: an
// instance destroyed and made anew, a Create without a callback, two Destroys
// at once against the stored settings, and an end inside a callback while
// host threads wait on the instance.
#include "tools/host_simulator/torture_actors.h"

#include <cstring>

#include "tools/host_simulator/keypad_families.h"
#include "tools/host_simulator/stored_settings.h"
#include "tools/host_simulator/torture_checks.h"

static constexpr DWORD kRoundPauseMs = 60;
// The first end inside a callback comes early, so that a short run has one,
// once the instances are made; the others now and then.
static constexpr uint64_t kFirstAmbush = kTortureSlots + 1;
// One round in this many checks two Destroys at once.
static constexpr uint32_t kSettingsCheckEvery = 8;

static int32_t StoredInt(const StoredValue& value) {
    int32_t number = -1;
    if (value.present && value.bytes.size() == sizeof number)
        std::memcpy(&number, value.bytes.data(), sizeof number);
    return number;
}

static bool SamePair(const QP240REMOTE_Context& a, const QP240REMOTE_Context& b) {
    return a.keyMode == b.keyMode && a.midiChannel == b.midiChannel;
}

static QP240REMOTE_Context StoredPair(const Torture* torture) {
    const StoredSettings stored = StoredSettingsRead(*torture->family);
    return QP240REMOTE_Context{StoredInt(stored.values[0]), StoredInt(stored.values[1]), 0};
}

// One of the check's threads: told to go, it destroys its instance, or makes
// the spare one.
struct AtOnce {
    Torture* torture;
    int index;  // kNoSlot: the Create
    SlotHold held;
    HANDLE go;
    void* made;
};

static DWORD WINAPI DoWhenTold(LPVOID argument) {
    AtOnce* call = static_cast<AtOnce*>(argument);
    WaitForSingleObject(call->go, INFINITE);
    if (call->index == kNoSlot) {
        call->made = CountedCreate(call->torture, SpareCallback, 0);
    } else {
        TortureDestroyFromHost(call->torture, call->index, call->held, true);
        SlotLetGo(&call->torture->slots[call->index]);
    }
    return 0;
}

// With both slots quiet and the whole settings gate: two instances of known,
// different pairs destroyed on two threads while a third creates an instance.
// The registry must hold one of the two pairs, the new instance one whole
// pair, and the next instance the stored one.
static void CheckTwoDestroysAtOnce(Torture* torture, int a, int b, TortureRandom* random) {
    const Deliverable& driver = torture->driver;
    const QP240REMOTE_Context old = StoredPair(torture);
    const HANDLE go = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    AtOnce calls[3] = {{torture, a, SlotHoldHandle(&torture->slots[a], true), go, nullptr},
                       {torture, b, SlotHoldHandle(&torture->slots[b], true), go, nullptr},
                       {torture, kNoSlot, {nullptr, 0}, go, nullptr}};
    QP240REMOTE_Context contexts[2];
    for (int i = 0; i < 2; ++i) {
        // Closed first, so that no click in a box changes the pair meanwhile.
        driver.CloseConfigBox(calls[i].held.handle);
        contexts[i] = QP240REMOTE_Context{i, static_cast<int32_t>(RandomBelow(random, 16)), 0};
        driver.SetContext(calls[i].held.handle, &contexts[i], sizeof contexts[i]);
    }
    HANDLE threads[3];
    for (int i = 0; i < 3; ++i)
        threads[i] = CreateThread(nullptr, 0, DoWhenTold, &calls[i], 0, nullptr);
    SetEvent(go);
    WaitForMultipleObjects(3, threads, TRUE, INFINITE);
    for (HANDLE thread : threads)
        CloseHandle(thread);
    CloseHandle(go);

    const QP240REMOTE_Context stored = StoredPair(torture);
    if (!SamePair(stored, contexts[0]) && !SamePair(stored, contexts[1]))
        Violate(torture, kMixedSettings, "destroyed (%d, %d) and (%d, %d) at once; stored (%d, %d)",
                contexts[0].keyMode, contexts[0].midiChannel, contexts[1].keyMode,
                contexts[1].midiChannel, stored.keyMode, stored.midiChannel);
    void* spare = calls[2].made;
    if (spare != nullptr) {
        QP240REMOTE_Context made = {-1, -1, -1};
        driver.GetContext(spare, &made);
        if (!SamePair(made, old) && !SamePair(made, contexts[0]) && !SamePair(made, contexts[1]))
            Violate(torture, kMixedSettings, "an instance made meanwhile started from (%d, %d)",
                    made.keyMode, made.midiChannel);
    }
    for (int index : {a, b})
        if (SlotLiveHandle(torture, index) == nullptr)
            TortureCreateInstance(torture, index);
    QP240REMOTE_Context next = {-1, -1, -1};
    if (void* instance = SlotLiveHandle(torture, a))
        driver.GetContext(instance, &next);
    if (!SamePair(next, stored))
        Violate(torture, kMixedSettings, "stored (%d, %d), the next instance started from (%d, %d)",
                stored.keyMode, stored.midiChannel, next.keyMode, next.midiChannel);
    // The spare saves the pair it started from; it goes last, out of the check.
    if (spare != nullptr)
        driver.Destroy(spare);
    torture->settingsChecks.fetch_add(1, std::memory_order_relaxed);
}

// Two slots in index order, as no other thread quiets two; never the calm one.
static void SettingsRound(Torture* torture, TortureRandom* random) {
    const int a = 0;
    const int b = 1;
    SlotQuiet(&torture->slots[a]);
    SlotQuiet(&torture->slots[b]);
    AcquireSRWLockExclusive(&torture->settingsGate);
    if (SlotLiveHandle(torture, a) != nullptr && SlotLiveHandle(torture, b) != nullptr)
        CheckTwoDestroysAtOnce(torture, a, b, random);
    ReleaseSRWLockExclusive(&torture->settingsGate);
    SlotLoud(&torture->slots[b]);
    SlotLoud(&torture->slots[a]);
}

// No callback, no instance: one could only crash its first Start.
static void CheckCreateWithoutCallback(Torture* torture) {
    if (CountedCreate(torture, nullptr, 0) != nullptr)
        Violate(torture, kBadAnswer, "Create without a callback answered an instance");
}

// A round on one instance: the status and the worker agree, it has at most one
// box, the heaps are whole; now and then the instance is destroyed and made
// anew, a Create without a callback is refused, or the instance ends inside
// its callback while host threads wait on it.
static void Round(Torture* torture, int index, TortureRandom* random) {
    TortureSlot* slot = &torture->slots[index];
    const uint64_t round = torture->rounds.fetch_add(1, std::memory_order_relaxed);
    // The first check comes early, so that a short run has one, but after the
    // first round of every instance, which makes them.
    // Until one check was made (both instances must be live for it), every
    // other round tries again, so that a short run has one too.
    const bool checkOwed =
        round > kTortureSlots && round % 2 == 1 && torture->settingsChecks.load() == 0;
    if (round % kSettingsCheckEvery == kTortureSlots || checkOwed) {
        SettingsRound(torture, random);
        return;
    }
    SlotQuiet(slot);
    void* live = SlotLiveHandle(torture, index);
    if (live == nullptr) {
        TortureCreateInstance(torture, index);
    } else {
        CheckQuietInstance(torture, index, live);
        const uint32_t roll = RandomBelow(random, 6);
        // Until one has sprung, every round from kFirstAmbush on lays one, so
        // that a short run on a slow machine has it too.
        const bool ambushOwed = round >= kFirstAmbush && torture->ambushes.load() == 0;
        if (ambushOwed && index != kCalmSlot) {
            TortureAmbush(torture, index, random);
        } else if (roll == 0 && index != kCalmSlot) {
            const SlotHold held = SlotHoldHandle(slot, true);
            TortureDestroyFromHost(torture, index, held, false);
            SlotLetGo(slot);
            SlotLiveHandle(torture, index);
            TortureCreateInstance(torture, index);
        } else if (roll == 1) {
            CheckCreateWithoutCallback(torture);
        } else if (roll >= 4 && index != kCalmSlot) {
            TortureAmbush(torture, index, random);
        }
    }
    // Once in every run, however short; now and then again above.
    if (round == 0)
        CheckCreateWithoutCallback(torture);
    ValidateHeaps(torture);
    SlotLoud(slot);
}

DWORD WINAPI TortureRoundThread(LPVOID) {
    Torture* torture = g_torture;
    TortureRandom random = RandomFor(torture->settings.seed, 101);
    for (int index = 0; torture->running.load(); index = (index + 1) % kTortureSlots) {
        Round(torture, index, &random);
        Sleep(kRoundPauseMs);
    }
    return 0;
}
