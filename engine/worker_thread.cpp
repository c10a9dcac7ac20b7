#include "engine/worker_thread.h"

static int32_t CallHost(DriverInstance* instance, int32_t code, int32_t argument, void* pointer) {
    return instance->callback(instance->userValue, code, argument, pointer);
}

DWORD WINAPI WorkerThread(LPVOID argument) {
    DriverInstance* instance = static_cast<DriverInstance*>(argument);
    CallHost(instance, kHostWorkerBegins, 0, nullptr);
    while (instance->runFlag.load(std::memory_order_acquire) == 1)
        Sleep(10);
    CallHost(instance, kHostCloseKeypad, 0, instance->deviceHandle.exchange(nullptr));
    instance->connectedFlag.store(0, std::memory_order_release);
    CallHost(instance, kHostNoKeypad, 0, nullptr);
    CallHost(instance, kHostWorkerEnds, 0, nullptr);
    return 0;
}
