/*
 * minimal_host.c - the smallest host of the Kolmar keypad drivers, for a host
 * that serves both keypad families at once. Both DLLs export the same names,
 * so it loads each DLL named on its command line and resolves its exports
 * with GetProcAddress (linking both import libraries would bind every name to
 * the first DLL). For each it checks the version, makes and starts an
 * instance, lets the worker look for a keypad for a moment, and takes
 * everything down in the one safe order. It accepts no keypad:
 * examples/keypad_host.c shows the whole work of a host.
 *
 *   x86_64-w64-mingw32-gcc -std=c99 -Iinclude examples/minimal_host.c -o minimal_host.exe
 *   (Microsoft: cl /Iinclude examples\minimal_host.c)
 *
 * usage: minimal_host Kolmar32Keys.dll [Kolmar15Keys.dll]
 * Exits 0 when every call answered as the contract says.
 */
#include <stdio.h>
#include <string.h>
#include <windows.h>

#include "qp240_remote.h"

#define MAX_DRIVERS 2

/* One loaded DLL and the exports this host calls. */
typedef struct Driver {
    const char* path;
    volatile LONG lastCode; /* the latest callback's code */
    HMODULE module;         /* null while not loaded */
    int initialised;
    QP240REMOTE_Handle instance;
    QP240REMOTE_GetPlugInformationFn* GetPlugInformation;
    QP240REMOTE_InitFn* Init;
    QP240REMOTE_EndFn* End;
    QP240REMOTE_CreateFn* Create;
    QP240REMOTE_DestroyFn* Destroy;
    QP240REMOTE_StartFn* Start;
    QP240REMOTE_GetDriverStatusFn* GetDriverStatus;
} Driver;

/* GetProcAddress returns a generic function pointer; the detour through
 * void (*)(void) tells the compiler that the cast is meant. */
#define RESOLVE(driver, name)                                                                      \
    (((driver)->name = (QP240REMOTE_##name##Fn*)(void (*)(void))GetProcAddress(                    \
          (driver)->module, "QP240REMOTE_" #name)) != NULL)

/* Runs on a worker thread: this host takes no keypad. */
static int32_t QP240REMOTE_CALL OnDriver(intptr_t userValue, int32_t code, int32_t argument,
                                         void* pointer) {
    Driver* driver = (Driver*)userValue;
    InterlockedExchange(&driver->lastCode, code);
    printf("  [%s] callback %d, argument %d, pointer %p\n", driver->path, (int)code, (int)argument,
           pointer);
    fflush(stdout);
    return 0; /* an offer (code 80) refused */
}

static int Expect(const char* path, const char* call, int32_t answer, int32_t expected) {
    printf("[%s] %s -> %d\n", path, call, (int)answer);
    fflush(stdout);
    return answer == expected;
}

/* Loads the DLL, checks its version and starts an instance. */
static int Open(Driver* driver, const char* path) {
    unsigned char block[QP240REMOTE_PLUG_INFORMATION_SIZE];
    driver->module = LoadLibraryA(path);
    if (driver->module == NULL || !RESOLVE(driver, GetPlugInformation) || !RESOLVE(driver, Init) ||
        !RESOLVE(driver, End) || !RESOLVE(driver, Create) || !RESOLVE(driver, Destroy) ||
        !RESOLVE(driver, Start) || !RESOLVE(driver, GetDriverStatus)) {
        printf("[%s] cannot load it or resolve its exports\n", path);
        return 0;
    }
    if (driver->GetPlugInformation(QP240REMOTE_PLUG_INFORMATION, block) != QP240REMOTE_OK ||
        !QP240REMOTE_VERSION_MATCHES(QP240REMOTE_PLUG_VERSION_WORD(block))) {
        printf("[%s] not a driver of this header's contract\n", path);
        return 0;
    }
    printf("[%s] \"%s\" for \"%s\"\n", path, (const char*)block + QP240REMOTE_PLUG_MODULE_OFFSET,
           (const char*)block + QP240REMOTE_PLUG_MODEL_OFFSET);
    /* A first Init that fails is still undone by End (Close). */
    driver->initialised = 1;
    if (!Expect(path, "Init", driver->Init(driver->module), QP240REMOTE_OK))
        return 0;
    driver->path = path;
    driver->instance = driver->Create(OnDriver, (intptr_t)driver);
    if (driver->instance == NULL)
        return 0;
    return Expect(path, "Start", driver->Start(driver->instance), QP240REMOTE_OK);
}

/* The one safe teardown: Destroy (which stops the worker), End, FreeLibrary.
 * Each step checks what it releases, so it serves a half-made Open too. */
static int Close(Driver* driver, const char* path) {
    int ok = 1;
    if (driver->instance != NULL) {
        ok &= Expect(path, "Destroy", driver->Destroy(driver->instance), QP240REMOTE_OK);
        driver->instance = NULL;
        /* Destroy returns once the worker's last callback has returned. */
        ok &= Expect(path, "last callback before Destroy returned", driver->lastCode,
                     QP240REMOTE_CODE_WORKER_ENDS);
    }
    if (driver->initialised) {
        ok &= Expect(path, "End", driver->End(), QP240REMOTE_OK);
        driver->initialised = 0;
    }
    if (driver->module != NULL) {
        FreeLibrary(driver->module);
        driver->module = NULL;
    }
    return ok;
}

int main(int argc, char** argv) {
    Driver drivers[MAX_DRIVERS];
    int count = argc - 1;
    int ok = 1;
    int i;
    if (count < 1 || count > MAX_DRIVERS) {
        fprintf(stderr, "usage: %s <driver DLL> [<driver DLL>]\n", argv[0]);
        return 2;
    }
    memset(drivers, 0, sizeof drivers);
    for (i = 0; i < count && ok; ++i)
        ok = Open(&drivers[i], argv[i + 1]);
    if (ok) {
        Sleep(300); /* a worker looks for a keypad once a detection period */
        for (i = 0; i < count; ++i)
            ok &= Expect(argv[i + 1], "GetDriverStatus",
                         drivers[i].GetDriverStatus(drivers[i].instance),
                         QP240REMOTE_DRIVER_DETECTING);
    }
    for (i = count - 1; i >= 0; --i)
        ok &= Close(&drivers[i], argv[i + 1]);
    return ok ? 0 : 1;
}
