/*
 * qp240_remote.h - what a host needs to drive the Kolmar keypad drivers,
 * Kolmar32Keys.dll and Kolmar15Keys.dll (64-bit Windows): the sixteen exports,
 * the host callback and its codes, the data ids of
 * QP240REMOTE_SetGetInformations, the context record and the sizes of the
 * blocks the host and the driver exchange. Valid C99 and C++; needs only
 * <stddef.h> and <stdint.h>.
 *
 * Link with the import library of one DLL (lib/libKolmar32Keys.dll.a for
 * MinGW, lib/Kolmar32Keys.lib for the Microsoft linker), or load the DLL and
 * resolve the names with GetProcAddress through the QP240REMOTE_...Fn types.
 * The calling contract in full: docs/host-contract.md.
 *
 * Status codes are 32-bit signed: 0 done; 1 already in the state asked for
 * (started, stopped, box open, no box); negative an error. Every export that
 * takes an instance handle checks it first and answers -1 to a bad one
 * (GetDriverStatus: 0).
 */
#ifndef QP240_REMOTE_H
#define QP240_REMOTE_H

#include <stddef.h>
#include <stdint.h>

#if defined(_WIN32) && !defined(_WIN64)
#error "the Kolmar keypad drivers are 64-bit DLLs"
#endif

/* 64-bit Windows has one calling convention; it is named so that a compiler
 * told to use another default still calls the exports and the callback right. */
#ifdef _WIN32
#define QP240REMOTE_CALL __cdecl
#else
#define QP240REMOTE_CALL
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* Sizes in bytes. */
#define QP240REMOTE_ARCHITECTURE_TEXT_SIZE 43  /* GetPlugInformation index 0, zero included */
#define QP240REMOTE_PLUG_INFORMATION_SIZE 1676 /* GetPlugInformation index 1 */
#define QP240REMOTE_HOST_STATUS_SIZE 172       /* callback 151, SetGetInformations id 56 */
#define QP240REMOTE_CONTEXT_SIZE 12            /* GetContext, SetContext */

/* Indexes of QP240REMOTE_GetPlugInformation. */
#define QP240REMOTE_PLUG_ARCHITECTURE_TEXT 0
#define QP240REMOTE_PLUG_INFORMATION 1

/* Fields of the plug information block; texts are zero-padded to the field's
 * end, numbers little-endian. The rest of the block is the host's own. */
#define QP240REMOTE_PLUG_MODEL_OFFSET 0x000       /* 128 bytes: "Stream Deck XL" / "... 15" */
#define QP240REMOTE_PLUG_DRIVER_KIND_OFFSET 0x080 /* 256 bytes: "HID Remote Driver" */
#define QP240REMOTE_PLUG_MODULE_OFFSET 0x180      /* 1184 bytes: "Kolmar32Keys" / "KolmarKeys" */
#define QP240REMOTE_PLUG_GUID_OFFSET 0x620        /* 16 bytes, the standard GUID layout */
#define QP240REMOTE_PLUG_VERSION_OFFSET 0x634     /* 32 bits, the major number in the top byte */

/* The host's callback. Called only on the instance's worker thread, one call
 * at a time per instance; its result is ignored except for code 80. */
typedef int32_t(QP240REMOTE_CALL* QP240REMOTE_Callback)(intptr_t userValue, int32_t code,
                                                        int32_t argument, void* pointer);

/* Callback codes: argument, pointer. */
#define QP240REMOTE_CODE_WORKER_BEGINS 50     /* 0, null: first call of a worker run */
#define QP240REMOTE_CODE_WORKER_ENDS 51       /* 0, null: last call of a worker run */
#define QP240REMOTE_CODE_CONNECTED 60         /* 0, null: the accepted keypad is polled */
#define QP240REMOTE_CODE_NO_KEYPAD 70         /* 0, null: after a refusal, and at worker end */
#define QP240REMOTE_CODE_OFFER_KEYPAD 80      /* 0, raw-input device handle: nonzero accepts */
#define QP240REMOTE_CODE_CLOSE_KEYPAD 81      /* 0, device handle or null: close the keypad */
#define QP240REMOTE_CODE_FILL_STATUS 151      /* 172, status block: fill all 172 bytes */
#define QP240REMOTE_CODE_MIDI_BYTES 1301      /* byte count, bytes valid during the call */
#define QP240REMOTE_CODE_PAD_PRESSED 1310     /* pad number, null */
#define QP240REMOTE_CODE_PAD_RELEASED 1311    /* pad number, null */
#define QP240REMOTE_CODE_STOP_ALL_PADS 1314   /* 0, null: the StopAllPads key was pressed */
#define QP240REMOTE_CODE_STOP_ALL_PLISTS 1315 /* 0, null: the StopAllPlists key was pressed */

/* Ids of QP240REMOTE_SetGetInformations. */
#define QP240REMOTE_INFO_INPUT_REPORT 55 /* a 64-bit RAWINPUT record of the accepted keypad */
#define QP240REMOTE_INFO_HOST_STATUS 56  /* a new 172-byte status block */

/* Key modes of the context record. */
#define QP240REMOTE_KEY_MODE_PADS 0 /* pad protocol: codes 1310 and 1311 */
#define QP240REMOTE_KEY_MODE_MIDI 1 /* MIDI: code 1301 */

/* The context record of GetContext and SetContext; a host may keep it in its
 * documents. Copied unchanged in both directions, without range checks. */
typedef struct QP240REMOTE_Context {
    int32_t keyMode;     /* QP240REMOTE_KEY_MODE_...; any value but 1 acts as pads */
    int32_t midiChannel; /* 0..15 for MIDI channels 1..16 */
    int32_t padBank;     /* pad number = padBank * (25 or 12) + key index */
} QP240REMOTE_Context;

/* C99 has no static assertion: a negative array size stops the compile. */
typedef char
    QP240REMOTE_ContextSizeCheck[sizeof(QP240REMOTE_Context) == QP240REMOTE_CONTEXT_SIZE ? 1 : -1];
typedef char QP240REMOTE_ContextLayoutCheck[offsetof(QP240REMOTE_Context, midiChannel) == 4 &&
                                                    offsetof(QP240REMOTE_Context, padBank) == 8
                                                ? 1
                                                : -1];

/* The exports, each as a function type (for GetProcAddress) and a declaration.
 * `module` is the DLL's HMODULE and `parent` an HWND; `handle` is what
 * QP240REMOTE_Create returned. */

/* Once after loading. 0; -1 the box's window class not registered (also a
 * second Init without End); -2 drawing toolkit not started; -4 User32.dll not
 * loaded (never while the DLL is: it imports User32.dll). After a failure,
 * End before unloading or trying again. */
typedef int32_t QP240REMOTE_CALL QP240REMOTE_InitFn(void* module);
/* Before unloading. Always 0; instances are not touched. */
typedef int32_t QP240REMOTE_CALL QP240REMOTE_EndFn(void);
/* At any time. 0 written; -1 `out` null; -2 index not 0 or 1. */
typedef int32_t QP240REMOTE_CALL QP240REMOTE_GetPlugInformationFn(int32_t index, void* out);
/* At any time: "no-error", "Object not created" or "Library is not
 * initialized"; the address never changes. */
typedef const char* QP240REMOTE_CALL QP240REMOTE_GetLastErrorStringFn(void);
/* The new instance, or null (no successful Init yet, or out of memory). */
typedef void* QP240REMOTE_CALL QP240REMOTE_CreateFn(QP240REMOTE_Callback callback,
                                                    intptr_t userValue);
/* 0 destroyed: the box closed, the worker stopped, the settings saved. */
typedef int32_t QP240REMOTE_CALL QP240REMOTE_DestroyFn(void* handle);
/* 0 started; 1 already started; -2000 no worker thread (or one that Stop
 * gave up on still lives): the instance counts as started until Stop. Waits,
 * at most 10 s, for the worker of an earlier run that is still ending. */
typedef int32_t QP240REMOTE_CALL QP240REMOTE_StartFn(void* handle);
/* 0 stopped; 1 not started. Waits for the worker, at most 10 s: about 1 s
 * while it looks for a keypad, 10 ms once one is connected. */
typedef int32_t QP240REMOTE_CALL QP240REMOTE_StopFn(void* handle);
/* 0 not started (or bad handle); 1 started, no keypad; 2 keypad connected. */
typedef int32_t QP240REMOTE_CALL QP240REMOTE_GetDriverStatusFn(void* handle);
/* 12. */
typedef int32_t QP240REMOTE_CALL QP240REMOTE_GetContextSizeFn(void* handle);
/* 0 written to the 12 bytes at `out`; -2 `out` null. */
typedef int32_t QP240REMOTE_CALL QP240REMOTE_GetContextFn(void* handle, void* out);
/* 0 taken; -2 `in` null; -3 size not 12. */
typedef int32_t QP240REMOTE_CALL QP240REMOTE_SetContextFn(void* handle, const void* in,
                                                          int32_t size);
/* 0; with reset 1 the instance takes the library's defaults. */
typedef int32_t QP240REMOTE_CALL QP240REMOTE_ResetContextFn(void* handle, int32_t reset);
/* 0 created (also when the window could not be made); 1 an open box moved.
 * The box's messages run on the calling thread. */
typedef int32_t QP240REMOTE_CALL QP240REMOTE_OpenConfigBoxFn(void* handle, void* parent, int32_t x,
                                                             int32_t y, int32_t width,
                                                             int32_t height);
/* 0 closed; 1 no box open. */
typedef int32_t QP240REMOTE_CALL QP240REMOTE_CloseConfigBoxFn(void* handle);
/* Id 55: 0 taken (also when the queue was full); -3 no keypad connected; -10
 * `data` null; -11 another device; -2 (32 keys), -12 or -13 (15 keys) report
 * too short. Id 56: 0 (a size other than 172 is ignored); -10 a null block of
 * size 172. Other ids: -2. */
typedef int32_t QP240REMOTE_CALL QP240REMOTE_SetGetInformationsFn(void* handle, int32_t id,
                                                                  void* data, int32_t size);

QP240REMOTE_InitFn QP240REMOTE_Init;
QP240REMOTE_EndFn QP240REMOTE_End;
QP240REMOTE_GetPlugInformationFn QP240REMOTE_GetPlugInformation;
QP240REMOTE_GetLastErrorStringFn QP240REMOTE_GetLastErrorString;
QP240REMOTE_CreateFn QP240REMOTE_Create;
QP240REMOTE_DestroyFn QP240REMOTE_Destroy;
QP240REMOTE_StartFn QP240REMOTE_Start;
QP240REMOTE_StopFn QP240REMOTE_Stop;
QP240REMOTE_GetDriverStatusFn QP240REMOTE_GetDriverStatus;
QP240REMOTE_GetContextSizeFn QP240REMOTE_GetContextSize;
QP240REMOTE_GetContextFn QP240REMOTE_GetContext;
QP240REMOTE_SetContextFn QP240REMOTE_SetContext;
QP240REMOTE_ResetContextFn QP240REMOTE_ResetContext;
QP240REMOTE_OpenConfigBoxFn QP240REMOTE_OpenConfigBox;
QP240REMOTE_CloseConfigBoxFn QP240REMOTE_CloseConfigBox;
QP240REMOTE_SetGetInformationsFn QP240REMOTE_SetGetInformations;

#ifdef __cplusplus
} /* extern "C" */
#endif

#endif /* QP240_REMOTE_H */
