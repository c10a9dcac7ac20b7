// The box threads: host threads with a window of their own, in which they
// open, move, click and close the boxes of random instances, pumping their
// messages all the while.
#include "tools/host_simulator/torture_actors.h"

#include "tools/host_simulator/config_box_view.h"
#include "tools/host_simulator/torture_checks.h"

bool TortureOpenBox(Torture* torture, int index, void* handle, HWND host, int32_t x,
                    bool fromCallback) {
    const int32_t answer = TimedCall(torture, kCallOpenConfigBox, index, fromCallback, [&] {
        return torture->driver.OpenConfigBox(handle, host, x, kHostMargin, QP240REMOTE_BOX_WIDTH,
                                             QP240REMOTE_BOX_HEIGHT);
    });
    CheckAnswer(torture, kCallOpenConfigBox, index, answer,
                {QP240REMOTE_OK, QP240REMOTE_ALREADY, QP240REMOTE_E_NO_WINDOW});
    return answer == QP240REMOTE_OK;
}

// In the slot's own window; a click lands anywhere in the box, on a field or
// beside it, as a user's may, and only in a box of this thread's: it reaches
// a box through the box's own thread, as a user's does.
static void BoxAction(Torture* torture, int index, void* handle, HWND host, TortureRandom* random) {
    const uint32_t action = RandomBelow(random, 4);
    if (action < 2) {
        const int32_t x = kHostMargin + static_cast<int32_t>(RandomBelow(random, 9));
        if (TortureOpenBox(torture, index, handle, host, x, false))
            torture->boxesMade.fetch_add(1, std::memory_order_relaxed);
    } else if (action == 2) {
        const int32_t answer = TimedHandleCall(torture, kCallCloseConfigBox, index, false,
                                               torture->driver.CloseConfigBox, handle);
        CheckAnswer(torture, kCallCloseConfigBox, index, answer,
                    {QP240REMOTE_OK, QP240REMOTE_ALREADY});
    } else if (HWND box = OwnConfigBox(host)) {
        ClickConfigBox(box, static_cast<int>(RandomBelow(random, QP240REMOTE_BOX_WIDTH)),
                       static_cast<int>(RandomBelow(random, QP240REMOTE_BOX_HEIGHT)));
    }
}

// At the end it checks that no box is left in its windows, then destroys them.
DWORD WINAPI TortureBoxThread(LPVOID number) {
    Torture* torture = g_torture;
    const int which = static_cast<int>(reinterpret_cast<uintptr_t>(number));
    TortureRandom random = RandomFor(torture->settings.seed, 404 + which);
    HWND* hosts = torture->hostWindows[which];
    for (int index = 0; index < kTortureSlots; ++index)
        hosts[index] = CreateSimulatedHostWindow(QP240REMOTE_BOX_WIDTH, QP240REMOTE_BOX_HEIGHT);
    SetEvent(torture->boxesReady[which]);

    while (WaitForSingleObject(torture->boxesFinish, 0) == WAIT_TIMEOUT) {
        PumpHostMessages();
        Sleep(1 + RandomBelow(&random, 3));
        const int index = static_cast<int>(RandomBelow(&random, kTortureSlots));
        TortureSlot* slot = &torture->slots[index];
        if (!torture->running.load())
            continue;
        const SlotHold held = SlotHoldHandle(slot, false);
        if (held.handle == nullptr)
            continue;
        BoxAction(torture, index, held.handle, hosts[index], &random);
        SlotLetGo(slot);
    }
    // Boxes closed from other threads close here, with their posted messages.
    const DWORD settle = GetTickCount();
    while (GetTickCount() - settle < 200) {
        PumpHostMessages();
        Sleep(5);
    }
    for (int index = 0; index < kTortureSlots; ++index) {
        if (FindConfigBox(hosts[index]) != nullptr)
            Violate(torture, kBoxLeft,
                    "a box left in box thread %d's window of instance %d after every Destroy",
                    which, index);
        HWND host = hosts[index];
        hosts[index] = nullptr;
        DestroyWindow(host);
    }
    PumpHostMessages();
    return 0;
}
