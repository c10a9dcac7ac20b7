// The torture's actors: the host callback, which also calls the driver back
// and blocks now and then; the host threads (calls of every export, rounds on
// quiet instances with the check of two Destroys at once, a reading thread,
// a plugger, and box threads with windows of their own); and the long mode's
// unload of a DLL while a worker Stop gave up on is still blocked in it.
#pragma once

#include "tools/host_simulator/torture_records.h"

int32_t TortureCallback(intptr_t userValue, int32_t code, int32_t argument, void* pointer);

// Thread bodies; each runs while `running` is set (the box threads until
// `boxesFinish`). The argument of the driver, reader and box threads is their
// number; a reader reads the keypad of the instance of its number.
DWORD WINAPI TortureDriverThread(LPVOID number);
DWORD WINAPI TortureRoundThread(LPVOID);
DWORD WINAPI TortureReaderThread(LPVOID);
DWORD WINAPI TorturePlugThread(LPVOID);
DWORD WINAPI TortureBoxThread(LPVOID number);

// Under the slot's exclusive lock: a new instance in the slot, or its Destroy
// with every check of what must hold afterwards. `gated`: the caller holds the
// settings gate; `fromCallback`: made inside one of the instance's callbacks.
void TortureCreateInstance(Torture* torture, int index);
void TortureDestroyInstance(Torture* torture, int index, bool gated, bool fromCallback);

// Long mode, after the run, with the DLL loaded and initialised: an instance
// whose worker blocks in a callback beyond Stop's wait is stopped (given up
// on) and destroyed, the library ended, unloaded, loaded, used and unloaded
// again while that worker is still blocked in its code; then the worker is
// let go. The DLL is left unloaded.
void TortureUnloadWhileBlocked(Torture* torture, const char* path);
