// The host threads that call the instance exports: each picks an instance and
// an export at random and calls it with no regard for the other threads, so
// that calls on one instance overlap each other, its callbacks' calls and its
// Destroys.
#include "tools/host_simulator/torture_actors.h"

#include <cstring>

#include "tools/host_simulator/error_texts.h"
#include "tools/host_simulator/torture_checks.h"

// One in this many (times the instance's number) of the Stops drawn for
// instances other than 0 is made, so that their workers find, connect and poll.
static constexpr uint32_t kCalmStopOdds = 40;
// One in this many of the calls drawn for an instance other than the calm one
// is its Destroy.
static constexpr uint32_t kDestroyOdds = 150;

// Whatever it answers, no run that began before it goes on, but for one it
// gave up on; refused (a Destroy claimed the instance), it also promises that
// no callback of the instance begins after it.
void TortureStopFromHost(Torture* torture, int index, const SlotHold& held) {
    TortureSlot* slot = &torture->slots[index];
    const uint64_t calledAt = torture->sequence.fetch_add(1) + 1;
    const CallTimer timer = TimerBegin(torture, kCallStop, index, false);
    const int32_t answer = torture->driver.Stop(held.handle);
    const DWORD blocked = slot->blockingThread.load();
    TimerEnd(torture, timer);
    CheckAnswer(torture, kCallStop, index, answer, {QP240REMOTE_OK, QP240REMOTE_ALREADY});
    if (answer == QP240REMOTE_E_BAD_HANDLE)
        SilenceGeneration(slot, held.generation);
    CheckRunOver(torture, index, calledAt, blocked,
                 answer == QP240REMOTE_OK        ? "Stop (0)"
                 : answer == QP240REMOTE_ALREADY ? "Stop (1)"
                                                 : "Stop (-1)");
    if (answer == QP240REMOTE_OK)
        NoteStopped(slot, calledAt);
}

// -2000 only beside a worker still alive that the Start may not wait for: one
// given up on, or one whose callback blocks beyond the wait.
int32_t TortureStartFromHost(Torture* torture, int index, void* handle) {
    TortureSlot* slot = &torture->slots[index];
    const bool blocked = slot->blockingThread.load() != 0;
    const int32_t answer =
        TimedHandleCall(torture, kCallStart, index, false, torture->driver.Start, handle);
    if (answer == QP240REMOTE_E_NO_THREAD)
        NoteStartFailed(torture, index);
    if (blocked || GivenUpWorkerMayLive(torture, index) || slot->blockingThread.load() != 0)
        CheckAnswer(torture, kCallStart, index, answer,
                    {QP240REMOTE_OK, QP240REMOTE_ALREADY, QP240REMOTE_E_NO_THREAD});
    else
        CheckAnswer(torture, kCallStart, index, answer, {QP240REMOTE_OK, QP240REMOTE_ALREADY});
    return answer;
}

static void CheckedSetContext(Torture* torture, int index, void* handle, TortureRandom* random) {
    const QP240REMOTE_Context context = {static_cast<int32_t>(RandomBelow(random, 2)),
                                         static_cast<int32_t>(RandomBelow(random, 16)), 0};
    // Mostly a whole record; now and then one the driver must refuse.
    const uint32_t form = RandomBelow(random, 8);
    const QP240REMOTE_Context* in = form == 0 ? nullptr : &context;
    const int32_t size = form == 1 ? QP240REMOTE_CONTEXT_SIZE + 1 : QP240REMOTE_CONTEXT_SIZE;
    const int32_t answer = TimedCall(torture, kCallSetContext, index, false,
                                     [&] { return torture->driver.SetContext(handle, in, size); });
    CheckAnswer(torture, kCallSetContext, index, answer,
                {form == 0   ? QP240REMOTE_E_NULL_CONTEXT
                 : form == 1 ? QP240REMOTE_E_CONTEXT_SIZE
                             : QP240REMOTE_OK});
}

static void SendStatusBlock(Torture* torture, int index, void* handle, TortureRandom* random) {
    int32_t block[QP240REMOTE_HOST_STATUS_SIZE / 4 + 1];
    for (int32_t& word : block)
        word = static_cast<int32_t>(RandomNext(random));
    // Mostly whole blocks; sometimes a size the driver must ignore.
    const int32_t size = RandomBelow(random, 8) == 0 ? QP240REMOTE_HOST_STATUS_SIZE + 1
                                                     : QP240REMOTE_HOST_STATUS_SIZE;
    const int32_t answer = TimedCall(torture, kCallSetGetInformations, index, false, [&] {
        return torture->driver.SetGetInformations(handle, QP240REMOTE_INFO_HOST_STATUS, block,
                                                  size);
    });
    CheckAnswer(torture, kCallSetGetInformations, index, answer, {QP240REMOTE_OK});
}

// The calls that need neither a handle nor Init.
static void LibraryCalls(Torture* torture, TortureRandom* random) {
    const Deliverable& driver = torture->driver;
    uint8_t out[QP240REMOTE_PLUG_INFORMATION_SIZE];
    const int32_t which = static_cast<int32_t>(RandomBelow(random, 3));
    const int32_t answer = TimedCall(torture, kCallGetPlugInformation, kNoSlot, false,
                                     [&] { return driver.GetPlugInformation(which, out); });
    CheckAnswer(torture, kCallGetPlugInformation, kNoSlot, answer,
                {which < 2 ? QP240REMOTE_OK : QP240REMOTE_E_BAD_INDEX});
    const CallTimer timer = TimerBegin(torture, kCallGetLastErrorString, kNoSlot, false);
    const char* text = driver.GetLastErrorString();
    TimerEnd(torture, timer);
    if (text == nullptr ||
        (std::strcmp(text, kErrorTextAtLoad) != 0 && std::strcmp(text, kErrorTextNotCreated) != 0 &&
         std::strcmp(text, kErrorTextNotInitialized) != 0))
        Violate(torture, kBadAnswer, "GetLastErrorString answered \"%s\"",
                text != nullptr ? text : "(null)");
}

// One random call of an instance export (or a library one) from a host thread.
static void InstanceCall(Torture* torture, int index, const SlotHold& held, TortureRandom* random) {
    void* handle = held.handle;
    const Deliverable& driver = torture->driver;
    switch (RandomBelow(random, 12)) {
        case 0:
        case 1:
        case 2:
            if (index != kCalmSlot && RandomBelow(random, kDestroyOdds) == 0)
                TortureDestroyFromHost(torture, index, held, false);
            else
                TortureStartFromHost(torture, index, handle);
            break;
        case 3:
        case 4:
            // Instance 0 is stopped all the time; the others rarely enough
            // that their workers find, connect and poll keypads.
            if (index == 0 || RandomBelow(random, kCalmStopOdds * index) == 0)
                TortureStopFromHost(torture, index, held);
            break;
        case 5: {
            const int32_t answer = TimedHandleCall(torture, kCallGetDriverStatus, index, false,
                                                   driver.GetDriverStatus, handle);
            CheckAnswer(torture, kCallGetDriverStatus, index, answer,
                        {QP240REMOTE_DRIVER_NOT_STARTED, QP240REMOTE_DRIVER_DETECTING,
                         QP240REMOTE_DRIVER_CONNECTED});
            break;
        }
        case 6: {
            QP240REMOTE_Context context;
            int32_t answer = TimedCall(torture, kCallGetContext, index, false,
                                       [&] { return driver.GetContext(handle, &context); });
            CheckAnswer(torture, kCallGetContext, index, answer, {QP240REMOTE_OK});
            answer = TimedHandleCall(torture, kCallGetContextSize, index, false,
                                     driver.GetContextSize, handle);
            CheckAnswer(torture, kCallGetContextSize, index, answer, {QP240REMOTE_CONTEXT_SIZE});
            break;
        }
        case 7:
            CheckedSetContext(torture, index, handle, random);
            break;
        case 8: {
            const int32_t reset = static_cast<int32_t>(RandomBelow(random, 2));
            const int32_t answer = TimedCall(torture, kCallResetContext, index, false,
                                             [&] { return driver.ResetContext(handle, reset); });
            CheckAnswer(torture, kCallResetContext, index, answer, {QP240REMOTE_OK});
            break;
        }
        case 9:
        case 10:
            SendStatusBlock(torture, index, handle, random);
            break;
        default:
            LibraryCalls(torture, random);
            break;
    }
}

DWORD WINAPI TortureDriverThread(LPVOID number) {
    Torture* torture = g_torture;
    TortureRandom random = RandomFor(torture->settings.seed,
                                     static_cast<uint32_t>(reinterpret_cast<uintptr_t>(number)));
    while (torture->running.load()) {
        const int index = static_cast<int>(RandomBelow(&random, kTortureSlots));
        TortureSlot* slot = &torture->slots[index];
        const SlotHold held = SlotHoldHandle(slot, false);
        if (held.handle != nullptr) {
            InstanceCall(torture, index, held, &random);
            SlotLetGo(slot);
        }
        Sleep(RandomBelow(&random, 6));
    }
    return 0;
}
