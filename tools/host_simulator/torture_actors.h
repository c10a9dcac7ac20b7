// The torture's actors: the host callback, which also calls the driver back
// and blocks now and then; the host threads (calls of every export, rounds on
// quiet instances with the check of two Destroys at once and the end of an
// instance inside its callback while host threads wait on it, a reading thread
// per instance, a plugger, and box threads with windows of their own); and the
// long mode's unload of a DLL while a worker Stop gave up on is still blocked
// in it.
#pragma once

#include "tools/host_simulator/torture_slots.h"

// The last instance is destroyed and stopped rarely and accepts every offer,
// so that its worker keeps a keypad long enough for key events in a short run.
inline constexpr int kCalmSlot = kTortureSlots - 1;
// A long block outlasts Stop's wait with room to spare; one at a time.
inline constexpr DWORD kLongBlockMs = QP240REMOTE_STOP_WAIT_MS + 2500;

int32_t TortureCallback(intptr_t userValue, int32_t code, int32_t argument, void* pointer);
// Never called back: an instance that is never started.
int32_t SpareCallback(intptr_t, int32_t, int32_t, void*);

// Thread bodies; each runs while `running` is set (the box threads until
// `boxesFinish`). The argument of the driver, reader and box threads is their
// number; a reader reads the keypad of the instance of its number.
DWORD WINAPI TortureDriverThread(LPVOID number);
DWORD WINAPI TortureRoundThread(LPVOID);
DWORD WINAPI TortureReaderThread(LPVOID);
DWORD WINAPI TorturePlugThread(LPVOID);
DWORD WINAPI TortureBoxThread(LPVOID number);

// Stop and Start of a held handle from a host thread, with their checks.
void TortureStopFromHost(Torture* torture, int index, const SlotHold& held);
int32_t TortureStartFromHost(Torture* torture, int index, void* handle);

// The box opened in a host window of the box threads and checked; true when
// a box was made.
bool TortureOpenBox(Torture* torture, int index, void* handle, HWND host, int32_t x,
                    bool fromCallback);

// The rounds' thread, with the slot quiet: arms the slot's next callback to
// end its own instance while host threads wait in Stop, Start and Destroy of
// it, checks what they answered, and that the library then serves the next
// instance normally.
void TortureAmbush(Torture* torture, int index, TortureRandom* random);
// In a callback of the instance of `generation`: true when it sprang the
// ambush armed for it (and the instance is gone).
bool TortureSpringAmbush(Torture* torture, int index, uint32_t generation);

// Long mode, after the run, with the DLL loaded and initialised: an instance
// whose worker blocks in a callback beyond Stop's wait is stopped (given up
// on) and destroyed, the library ended, unloaded, loaded, used and unloaded
// again while that worker is still blocked in its code; then the worker is
// let go. The DLL is left unloaded by the host, and mapped: it made boxes.
void TortureUnloadWhileBlocked(Torture* torture, const char* path);
