/*
 * minimal_host.c - the smallest host of a Kolmar keypad driver.
 *
 * Loads one driver DLL, prints its plug information, makes an instance,
 * starts it, lets its worker look for a keypad for a moment, reads the driver
 * status, then takes everything down in reverse order. Every callback is
 * printed as it arrives.
 *
 * Two ways to reach the exports, chosen when building:
 *   linked through the import library:
 *     gcc -Iinclude examples/minimal_host.c lib/libKolmar32Keys.dll.a
 *     (Microsoft linker: lib/Kolmar32Keys.lib)
 *   resolved at run time with GetProcAddress:
 *     gcc -Iinclude -DMINIMAL_HOST_GETPROCADDRESS examples/minimal_host.c
 *
 * usage: minimal_host Kolmar32Keys.dll   (or Kolmar15Keys.dll)
 * Exits 0 when every call answered as the contract says.
 */
#include <stdio.h>
#include <string.h>
#include <windows.h>

#include "qp240_remote.h"

/* The exports this host calls. */
typedef struct Driver {
    QP240REMOTE_GetPlugInformationFn* GetPlugInformation;
    QP240REMOTE_InitFn* Init;
    QP240REMOTE_EndFn* End;
    QP240REMOTE_CreateFn* Create;
    QP240REMOTE_DestroyFn* Destroy;
    QP240REMOTE_StartFn* Start;
    QP240REMOTE_StopFn* Stop;
    QP240REMOTE_GetDriverStatusFn* GetDriverStatus;
} Driver;

#ifdef MINIMAL_HOST_GETPROCADDRESS
/* GetProcAddress returns a generic function pointer; the detour through
 * void (*)(void) tells the compiler that the cast is meant. */
#define RESOLVE(module, name) ((name##Fn*)(void (*)(void))GetProcAddress(module, #name))

static HMODULE LoadDriverLibrary(const char* path, Driver* driver) {
    HMODULE module = LoadLibraryA(path);
    if (module == NULL)
        return NULL;
    driver->GetPlugInformation = RESOLVE(module, QP240REMOTE_GetPlugInformation);
    driver->Init = RESOLVE(module, QP240REMOTE_Init);
    driver->End = RESOLVE(module, QP240REMOTE_End);
    driver->Create = RESOLVE(module, QP240REMOTE_Create);
    driver->Destroy = RESOLVE(module, QP240REMOTE_Destroy);
    driver->Start = RESOLVE(module, QP240REMOTE_Start);
    driver->Stop = RESOLVE(module, QP240REMOTE_Stop);
    driver->GetDriverStatus = RESOLVE(module, QP240REMOTE_GetDriverStatus);
    if (!driver->GetPlugInformation || !driver->Init || !driver->End || !driver->Create ||
        !driver->Destroy || !driver->Start || !driver->Stop || !driver->GetDriverStatus) {
        FreeLibrary(module);
        return NULL;
    }
    return module;
}

static void FreeDriverLibrary(HMODULE module) {
    FreeLibrary(module);
}
#else
/* The loader mapped the DLL with the program; the import library named it. */
static HMODULE LoadDriverLibrary(const char* path, Driver* driver) {
    driver->GetPlugInformation = QP240REMOTE_GetPlugInformation;
    driver->Init = QP240REMOTE_Init;
    driver->End = QP240REMOTE_End;
    driver->Create = QP240REMOTE_Create;
    driver->Destroy = QP240REMOTE_Destroy;
    driver->Start = QP240REMOTE_Start;
    driver->Stop = QP240REMOTE_Stop;
    driver->GetDriverStatus = QP240REMOTE_GetDriverStatus;
    return GetModuleHandleA(path);
}

static void FreeDriverLibrary(HMODULE module) {
    (void)module;
}
#endif

static const struct {
    int32_t code;
    const char* name;
} kCodeNames[] = {
    {QP240REMOTE_CODE_WORKER_BEGINS, "worker begins"},
    {QP240REMOTE_CODE_WORKER_ENDS, "worker ends"},
    {QP240REMOTE_CODE_CONNECTED, "keypad connected"},
    {QP240REMOTE_CODE_NO_KEYPAD, "no keypad"},
    {QP240REMOTE_CODE_OFFER_KEYPAD, "offer of a keypad"},
    {QP240REMOTE_CODE_CLOSE_KEYPAD, "close the keypad"},
    {QP240REMOTE_CODE_FILL_STATUS, "fill the status block"},
    {QP240REMOTE_CODE_MIDI_BYTES, "MIDI bytes"},
    {QP240REMOTE_CODE_PAD_PRESSED, "pad pressed"},
    {QP240REMOTE_CODE_PAD_RELEASED, "pad released"},
    {QP240REMOTE_CODE_STOP_ALL_PADS, "StopAllPads"},
    {QP240REMOTE_CODE_STOP_ALL_PLISTS, "StopAllPlists"},
};

static const char* CodeName(int32_t code) {
    size_t i;
    for (i = 0; i < sizeof kCodeNames / sizeof kCodeNames[0]; ++i)
        if (kCodeNames[i].code == code)
            return kCodeNames[i].name;
    return "unknown";
}

static volatile LONG g_lastCode; /* the latest callback code, for main to look at */

/* Runs on the instance's worker thread, never on main's. */
static int32_t QP240REMOTE_CALL OnDriverCall(intptr_t userValue, int32_t code, int32_t argument,
                                             void* pointer) {
    (void)userValue;
    InterlockedExchange(&g_lastCode, code);
    printf("  callback %d %s: argument %d, pointer %p\n", code, CodeName(code), argument, pointer);
    fflush(stdout);
    if (code == QP240REMOTE_CODE_FILL_STATUS)
        memset(pointer, 0, QP240REMOTE_HOST_STATUS_SIZE); /* a real host writes its status */
    /* A real host answers an offer with 1, opens the keypad (the pointer is its
     * raw-input device handle) and hands each of its RAWINPUT records to
     * SetGetInformations with id 55. This host reads no keypad: it refuses. */
    return 0;
}

static int Expect(const char* call, int32_t result, int32_t expected) {
    printf("%s -> %d\n", call, result);
    fflush(stdout);
    return result == expected;
}

int main(int argc, char** argv) {
    Driver driver;
    HMODULE module;
    char architecture[QP240REMOTE_ARCHITECTURE_TEXT_SIZE];
    unsigned char block[QP240REMOTE_PLUG_INFORMATION_SIZE];
    const unsigned char* version = block + QP240REMOTE_PLUG_VERSION_OFFSET;
    void* instance;
    int ok = 1;

    if (argc != 2) {
        fprintf(stderr, "usage: %s <driver DLL>\n", argv[0]);
        return 2;
    }
    module = LoadDriverLibrary(argv[1], &driver);
    if (module == NULL) {
        fprintf(stderr, "cannot load %s or resolve its exports\n", argv[1]);
        return 1;
    }

    /* The self-descriptions work before Init. */
    if (driver.GetPlugInformation(QP240REMOTE_PLUG_ARCHITECTURE_TEXT, architecture) != 0 ||
        driver.GetPlugInformation(QP240REMOTE_PLUG_INFORMATION, block) != 0) {
        FreeDriverLibrary(module);
        return 1;
    }
    printf("%s\nmodel \"%s\", module \"%s\", version %u.%u.%u.%u\n", architecture,
           (const char*)block + QP240REMOTE_PLUG_MODEL_OFFSET,
           (const char*)block + QP240REMOTE_PLUG_MODULE_OFFSET, version[3], version[2], version[1],
           version[0]);

    /* After a failed Init, End still takes down what it did. */
    if (!Expect("QP240REMOTE_Init", driver.Init(module), 0)) {
        driver.End();
        FreeDriverLibrary(module);
        return 1;
    }
    instance = driver.Create(OnDriverCall, 0);
    printf("QP240REMOTE_Create -> %p\n", instance);
    if (instance != NULL) {
        ok &= Expect("QP240REMOTE_Start", driver.Start(instance), 0);
        Sleep(300); /* the worker looks for a keypad once a second */
        ok &= Expect("QP240REMOTE_GetDriverStatus", driver.GetDriverStatus(instance), 1);
        /* Stop returns once the worker has made its last call. */
        ok &= Expect("QP240REMOTE_Stop", driver.Stop(instance), 0);
        ok &=
            Expect("last callback before Stop returned", g_lastCode, QP240REMOTE_CODE_WORKER_ENDS);
        ok &= Expect("QP240REMOTE_Destroy", driver.Destroy(instance), 0);
    } else {
        ok = 0;
    }
    ok &= Expect("QP240REMOTE_End", driver.End(), 0);
    FreeDriverLibrary(module);
    return ok ? 0 : 1;
}
