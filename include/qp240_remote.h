/*
 * qp240_remote.h - the host contract of the Kolmar keypad drivers,
 * Kolmar32Keys.dll and Kolmar15Keys.dll (64-bit Windows), stated once: every
 * export with its answers by name, its threads and its timing; the host
 * callback and its codes; the records the host and the driver exchange and
 * their sizes. Valid C99 and C++; needs only <stddef.h> and <stdint.h> (and
 * <sal.h> where there is one). A resource script may include it for the names
 * of its numbers.
 *
 * Linking. Link with the import library of one DLL (lib/libKolmar32Keys.dll.a
 * for MinGW, lib/Kolmar32Keys.lib for the Microsoft linker), or load a DLL and
 * resolve the names with GetProcAddress through the QP240REMOTE_...Fn types.
 * Both DLLs export the same sixteen names: linking both import libraries binds
 * every import to the DLL named first, so a host that serves both keypad
 * families must resolve at least one of them with GetProcAddress. The two can
 * be loaded into one process side by side; each refuses the other's handles.
 *
 * docs/host-contract.md walks through a host's work and explains how the
 * driver keeps these promises; examples/keypad_host.c does all of a host's
 * work against a keypad.
 */
#ifndef QP240_REMOTE_H
#define QP240_REMOTE_H

/* The contract's version. A DLL keeps it in the top two bytes of the version
 * word of its plug information (QP240REMOTE_PLUG_VERSION_OFFSET); a DLL of
 * another major answers differently, while a greater minor, patch or tweak
 * number only adds or fixes. A host may record the pair it was compiled
 * against, and checks the DLL at run time, before Init:
 *
 *   unsigned char block[QP240REMOTE_PLUG_INFORMATION_SIZE];
 *   if (QP240REMOTE_GetPlugInformation(QP240REMOTE_PLUG_INFORMATION, block) != QP240REMOTE_OK
 *       || !QP240REMOTE_VERSION_MATCHES(QP240REMOTE_PLUG_VERSION_WORD(block)))
 *       refuse the DLL;
 */
#define QP240REMOTE_VERSION_MAJOR 1
#define QP240REMOTE_VERSION_MINOR 0
/* The 32-bit version word of a plug information block (an array of unsigned
 * char), little-endian: major, minor, patch, tweak from the top byte down. */
#define QP240REMOTE_PLUG_VERSION_WORD(block)                                                       \
    ((uint32_t)(block)[QP240REMOTE_PLUG_VERSION_OFFSET] |                                          \
     (uint32_t)(block)[QP240REMOTE_PLUG_VERSION_OFFSET + 1] << 8 |                                 \
     (uint32_t)(block)[QP240REMOTE_PLUG_VERSION_OFFSET + 2] << 16 |                                \
     (uint32_t)(block)[QP240REMOTE_PLUG_VERSION_OFFSET + 3] << 24)
#define QP240REMOTE_VERSION_MATCHES(word) ((uint32_t)(word) >> 24 == QP240REMOTE_VERSION_MAJOR)

/* Status codes, 32-bit signed: QP240REMOTE_OK, QP240REMOTE_ALREADY, or a
 * negative QP240REMOTE_E_... code. Three values carry several names; read an
 * answer with the names of the export that gave it:
 *   -1  E_BAD_HANDLE every export with a handle; E_BOX_CLASS Init;
 *       E_NULL_OUT GetPlugInformation
 *   -2  E_TOOLKIT Init; E_BAD_INDEX GetPlugInformation; E_NULL_CONTEXT
 *       GetContext, SetContext; E_BAD_ID (another id) and E_REPORT_TOO_SHORT
 *       (id 55) SetGetInformations
 *   -3  E_CONTEXT_SIZE SetContext; E_NOT_CONNECTED SetGetInformations
 * Every export that takes a handle checks it first (not null, the whole
 * record readable, this DLL's signature, not destroyed) and answers
 * QP240REMOTE_E_BAD_HANDLE to a bad one (GetDriverStatus:
 * QP240REMOTE_DRIVER_NOT_STARTED). */
#define QP240REMOTE_OK 0                        /* done */
#define QP240REMOTE_ALREADY 1                   /* already in the state asked for */
#define QP240REMOTE_E_BAD_HANDLE (-1)           /* a bad handle, as above */
#define QP240REMOTE_E_BOX_CLASS (-1)            /* the box's window class */
#define QP240REMOTE_E_NULL_OUT (-1)             /* `out` null */
#define QP240REMOTE_E_TOOLKIT (-2)              /* the drawing toolkit */
#define QP240REMOTE_E_BAD_INDEX (-2)            /* no such index */
#define QP240REMOTE_E_NULL_CONTEXT (-2)         /* the context record null */
#define QP240REMOTE_E_BAD_ID (-2)               /* no such id */
#define QP240REMOTE_E_REPORT_TOO_SHORT (-2)     /* 32 keys: dwSizeHid below 36 */
#define QP240REMOTE_E_CONTEXT_SIZE (-3)         /* size not 12 */
#define QP240REMOTE_E_NOT_CONNECTED (-3)        /* no keypad connected */
#define QP240REMOTE_E_NO_USER32 (-4)            /* Init: User32.dll not loaded */
#define QP240REMOTE_E_NO_WINDOW (-5)            /* OpenConfigBox: no window could be made */
#define QP240REMOTE_E_NULL_DATA (-10)           /* SetGetInformations: `data` null */
#define QP240REMOTE_E_OTHER_DEVICE (-11)        /* id 55: not the accepted keypad's */
#define QP240REMOTE_E_REPORT_TOO_SHORT_15 (-12) /* id 55, 15 keys: dwSizeHid below 17 */
#define QP240REMOTE_E_KEYS_TOO_SHORT_15 (-13)   /* id 55, 15 keys but product 0x60: below 19 */
#define QP240REMOTE_E_NO_THREAD (-2000)         /* Start: no worker */

/* QP240REMOTE_GetDriverStatus. */
#define QP240REMOTE_DRIVER_NOT_STARTED 0 /* not started, or a bad handle */
#define QP240REMOTE_DRIVER_DETECTING 1   /* started, no keypad accepted yet */
#define QP240REMOTE_DRIVER_CONNECTED 2   /* a keypad accepted, its reports taken */

/* Sizes in bytes. */
#define QP240REMOTE_ARCHITECTURE_TEXT_SIZE 43  /* GetPlugInformation index 0, zero included */
#define QP240REMOTE_PLUG_INFORMATION_SIZE 1676 /* GetPlugInformation index 1 */
#define QP240REMOTE_HOST_STATUS_SIZE 172       /* the status block: code 151, id 56 */
#define QP240REMOTE_CONTEXT_SIZE 12            /* GetContext, SetContext */

/* Creates of one loaded DLL after a Destroy for which the destroyed handle is
 * still refused (see Threads). */
#define QP240REMOTE_STALE_HANDLE_CREATES 64

/* Timing, in milliseconds. */
#define QP240REMOTE_DETECTION_PERIOD_MS 1000 /* a started worker looks for a keypad */
#define QP240REMOTE_POLLING_PERIOD_MS 10     /* a connected worker takes the reports */
#define QP240REMOTE_STOP_WAIT_MS 10000       /* the longest Stop, Start, Destroy wait */

/* Indexes of QP240REMOTE_GetPlugInformation. */
#define QP240REMOTE_PLUG_ARCHITECTURE_TEXT 0 /* "Lorendel QP240 Remote Driver Architecture " */
#define QP240REMOTE_PLUG_INFORMATION 1

/* Fields of the plug information block: texts are 8-bit, zero-padded to the
 * field's end; numbers are 32-bit little-endian. */
#define QP240REMOTE_PLUG_MODEL_OFFSET 0x000       /* 128 bytes: "Stream Deck XL" / "... 15" */
#define QP240REMOTE_PLUG_DRIVER_KIND_OFFSET 0x080 /* 256 bytes: "HID Remote Driver" */
#define QP240REMOTE_PLUG_MODULE_OFFSET 0x180      /* 1184 bytes: "Kolmar32Keys" / "KolmarKeys" */
#define QP240REMOTE_PLUG_GUID_OFFSET 0x620        /* 16 bytes, the standard GUID layout */
#define QP240REMOTE_PLUG_VERSION_OFFSET 0x634     /* the version word, see above */
/* The numbers at 0x630 and from 0x638 to 0x648 are the host's own: the DLLs
 * hand them over unchanged and read none of them. 0x630 holds the family's
 * number in bits 16..23 (12 for 32 keys, 13 for 15 keys); 0x638 holds 4100,
 * 0x63C 0x40000180, 0x640 0, 0x644 600, 0x648 500, in both DLLs. The 64 bytes
 * from 0x64C are zero. */
#define QP240REMOTE_PLUG_HOST_NUMBER_OFFSET 0x630
#define QP240REMOTE_PLUG_HOST_WORDS_OFFSET 0x638 /* five words */

/* The keypads: USB vendor 0x0FD9, HID usage page 0x0C, usage 0x01 (the family's
 * products in docs/host-contract.md). A host registers for their raw input
 * with these. */
#define QP240REMOTE_KEYPAD_VENDOR_ID 0x0FD9
#define QP240REMOTE_KEYPAD_USAGE_PAGE 0x000C
#define QP240REMOTE_KEYPAD_USAGE 0x0001
/* The most raw-input devices a worker searches: on a system with more it
 * finds no keypad. */
#define QP240REMOTE_MAX_RAW_INPUT_DEVICES 128

/* The keypad picture the box shows: bitmap resource 500 of each DLL. */
#define QP240REMOTE_KEYPAD_PICTURE_ID 500

/* The configuration box's smallest client size, in pixels, at which its
 * fields show whole and take clicks. */
#define QP240REMOTE_BOX_MIN_WIDTH 496
#define QP240REMOTE_BOX_MIN_HEIGHT 284
/* The size the box is drawn for, at which its pictures show it. */
#define QP240REMOTE_BOX_WIDTH 600
#define QP240REMOTE_BOX_HEIGHT 300

/* Ids of QP240REMOTE_SetGetInformations. */
#define QP240REMOTE_INFO_INPUT_REPORT 55 /* an input report of the accepted keypad */
#define QP240REMOTE_INFO_HOST_STATUS 56  /* a new status block */

/* The input-report record of id 55 is the 64-bit RAWINPUT of a HID device as
 * GetRawInputData(RID_INPUT) fills it. The driver reads these three fields
 * only; dwCount (offset 28) is not read, so only the record's first report
 * counts, and the size argument is not consulted: the record must hold at
 * least 32 + dwSizeHid bytes. */
#define QP240REMOTE_RAWINPUT_DEVICE_OFFSET 8       /* hDevice, 8 bytes */
#define QP240REMOTE_RAWINPUT_REPORT_SIZE_OFFSET 24 /* dwSizeHid, 32-bit unsigned */
#define QP240REMOTE_RAWINPUT_REPORT_OFFSET 32      /* bRawData: report byte 0 first */

/* Callback codes, with the argument and the pointer each comes with. Order of
 * one worker run: 50; for each offer 80, then 70 (refused) or 151 and 60
 * (accepted); key events; at the end 81, 70, 51. */
#define QP240REMOTE_CODE_WORKER_BEGINS 50     /* 0, null: the run's first call */
#define QP240REMOTE_CODE_WORKER_ENDS 51       /* 0, null: the run's last call */
#define QP240REMOTE_CODE_CONNECTED 60         /* 0, null: reports are taken from now on */
#define QP240REMOTE_CODE_NO_KEYPAD 70         /* 0, null: after a refusal, and at the end */
#define QP240REMOTE_CODE_OFFER_KEYPAD 80      /* 0, raw-input device handle: open the keypad */
#define QP240REMOTE_CODE_CLOSE_KEYPAD 81      /* 0, that handle or null: close the keypad */
#define QP240REMOTE_CODE_FILL_STATUS 151      /* 172, the instance's status block: fill it */
#define QP240REMOTE_CODE_MIDI_BYTES 1301      /* byte count (3 per message), the bytes */
#define QP240REMOTE_CODE_PAD_PRESSED 1310     /* pad number, null */
#define QP240REMOTE_CODE_PAD_RELEASED 1311    /* pad number, null */
#define QP240REMOTE_CODE_STOP_ALL_PADS 1314   /* 0, null: StopAllPads pressed (either mode) */
#define QP240REMOTE_CODE_STOP_ALL_PLISTS 1315 /* 0, null: StopAllPlists pressed (either mode) */
/* 80, "open the keypad": a matching keypad is offered; answer nonzero (any
 * value) to accept it, 0 to refuse (it is offered again a detection period
 * later; only the first matching device of the system's list is ever offered).
 * Opening means registering for the raw input of the keypads' usage
 * (QP240REMOTE_KEYPAD_USAGE_PAGE, QP240REMOTE_KEYPAD_USAGE, RIDEV_INPUTSINK,
 * on a window of the host's) and handing each WM_INPUT record of this device
 * handle to id 55; records of other devices are the host's to skip (id 55
 * answers them QP240REMOTE_E_OTHER_DEVICE). Register on the window's own
 * thread (post it a message) rather than wait for that thread here.
 * 81, "close the keypad": the run ends; unregister (RIDEV_REMOVE) unless the
 * host still reads another keypad of that usage. Id 55 answers
 * QP240REMOTE_E_NOT_CONNECTED from here on.
 * 151: fill all 172 bytes of the status block at the pointer before returning.
 * 1301: Note On 0x90 | channel, note QP240REMOTE_MIDI_NOTE_BASE + pad number,
 * velocity 0x40; Note Off 0x80 | channel, the same note, velocity 0; a key
 * whose note would leave 0..127 sends nothing. The bytes are valid only
 * during the call. Pad number = padBank * stride + key index, stride 25 (32
 * keys) or 12 (15 keys). */
#define QP240REMOTE_MIDI_NOTE_BASE 0x40 /* the note of pad number 0 */

/* The host status block: QP240REMOTE_HOST_STATUS_SIZE bytes of the host's own
 * status, laid out as the host likes. The driver keeps the newest copy per
 * instance (it takes one per polling period; copies handed faster may be
 * skipped) and never reads, shows or stores its contents. */

/* The calling convention of the exports and the callback; 64-bit Windows has
 * one, named so that a compiler told to use another default still calls
 * them right. */
#ifdef _WIN32
#define QP240REMOTE_CALL __cdecl
#else
#define QP240REMOTE_CALL
#endif

/* Key modes of the context record. */
#define QP240REMOTE_KEY_MODE_PADS 0 /* pad protocol: codes 1310 and 1311 */
#define QP240REMOTE_KEY_MODE_MIDI 1 /* MIDI: code 1301 */

#ifndef RC_INVOKED

#include <stddef.h>
#include <stdint.h>

#if defined(_WIN32) && !defined(_WIN64)
#error "the Kolmar keypad drivers are 64-bit DLLs"
#endif

/* The annotations /analyze reads; without a <sal.h> they say nothing. The
 * fallbacks take the parameter names MinGW's <sal.h> gives them, so that a
 * later inclusion of it redefines nothing. */
#if defined(__has_include)
#if __has_include(<sal.h>)
#include <sal.h>
#endif
#elif defined(_MSC_VER)
#include <sal.h>
#endif
#ifndef _In_
#define _In_
#endif
#ifndef _In_opt_
#define _In_opt_
#endif
#ifndef _Out_
#define _Out_
#endif
#ifndef _In_reads_bytes_
#define _In_reads_bytes_(s)
#endif
#ifndef _Out_writes_bytes_all_
#define _Out_writes_bytes_all_(s)
#endif
#ifndef _Post_ptr_invalid_
#define _Post_ptr_invalid_
#endif
#ifndef _Ret_maybenull_
#define _Ret_maybenull_
#endif
#ifndef _Ret_z_
#define _Ret_z_
#endif
#ifndef _Must_inspect_result_
#define _Must_inspect_result_
#endif
#ifndef _Success_
#define _Success_(expr)
#endif
#ifndef _When_
#define _When_(e, a)
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* An instance, as QP240REMOTE_Create returns it: a pointer to a record of the
 * DLL's that the host never looks into. Sources written for an untyped handle
 * (void*) define QP240REMOTE_UNTYPED_HANDLES before including this header;
 * either way the handle is one pointer, so the DLLs' interface is the same. */
#ifdef QP240REMOTE_UNTYPED_HANDLES
typedef void* QP240REMOTE_Handle;
#else
typedef struct QP240REMOTE_Instance* QP240REMOTE_Handle;
#endif

/* The host's callback, given to Create with a user value that comes back as
 * its first argument. Called only on the instance's worker thread, one call
 * at a time per instance (instances call back concurrently); its result is
 * read only for code 80. It may call the driver back, Stop and Destroy of its
 * own instance included, but must never wait for a host thread that is itself
 * inside Stop, Start or Destroy of the same instance. */
typedef int32_t(QP240REMOTE_CALL* QP240REMOTE_Callback)(
    intptr_t userValue, int32_t code, int32_t argument,
    _When_(code == QP240REMOTE_CODE_FILL_STATUS, _Out_writes_bytes_all_(argument))
        _When_(code == QP240REMOTE_CODE_MIDI_BYTES, _In_reads_bytes_(argument)) void* pointer);

/* The context record of GetContext and SetContext, which a host may keep in
 * its documents. Copied unchanged both ways, without range checks. */
typedef struct QP240REMOTE_Context {
    int32_t keyMode;     /* QP240REMOTE_KEY_MODE_...; any value but 1 acts as pads */
    int32_t midiChannel; /* 0..15 for MIDI channels 1..16; only the low 4 bits count */
    int32_t padBank;     /* pad number = padBank * stride + key index; never stored */
} QP240REMOTE_Context;

/* C99 has no static assertion: a negative array size stops the compile. */
typedef char
    QP240REMOTE_ContextSizeCheck[sizeof(QP240REMOTE_Context) == QP240REMOTE_CONTEXT_SIZE ? 1 : -1];
typedef char QP240REMOTE_ContextLayoutCheck[offsetof(QP240REMOTE_Context, midiChannel) == 4 &&
                                                    offsetof(QP240REMOTE_Context, padBank) == 8
                                                ? 1
                                                : -1];

/* The exports: each a prototype, then its function type for GetProcAddress.
 * `module` is an HMODULE and `parent` an HWND. An answer marked
 * _Must_inspect_result_ is one whose failure leaves the host something to do.
 *
 * Threads: every export may be called from any host thread at the same time
 * as any other, but for the library-level pair: Init must have returned before
 * any other thread calls Create, and End and Init must not run while any other
 * export is in flight. Do not call Stop, Start or Destroy under the loader
 * lock (DllMain, static destructors).
 *
 * Calls on one instance may overlap one another, its Destroy included, on
 * host threads and from inside its callbacks: each call keeps the instance's
 * record until it returns, whatever the others do. Of several Destroys of one
 * instance exactly one answers QP240REMOTE_OK, the others
 * QP240REMOTE_E_BAD_HANDLE; a call that overlaps the winning Destroy either
 * acts on the instance before it or answers QP240REMOTE_E_BAD_HANDLE. Stop and
 * Destroy, whatever they answer, return on a host thread only once the run's
 * last callback has returned or the run was given up on (see Stop): after
 * their answer no callback of the instance begins. The host's own rule: no
 * call with a handle begins after a Destroy of it has returned. A handle used
 * after that all the same answers QP240REMOTE_E_BAD_HANDLE
 * (GetDriverStatus: QP240REMOTE_DRIVER_NOT_STARTED) for at least the next
 * QP240REMOTE_STALE_HANDLE_CREATES Creates of the loaded DLL; later it may
 * name a new instance, and after an unload it may crash.
 *
 * Teardown: the one safe sequence is Destroy (or Stop, then Destroy) of each
 * instance on a host thread, not under the loader lock; then End; then
 * FreeLibrary. A host that unloads without them leaks its instances, and a
 * worker still running keeps the DLL mapped and goes on calling the host's
 * callback. A DLL that made a box stays mapped until the process ends. */

/* QP240REMOTE_Init: once after loading; library-level (see Threads).
 * module [I] the DLL's HMODULE, or null (a host linked through the import
 *            library has none at hand; the DLL knows its own)
 * Answers QP240REMOTE_OK; QP240REMOTE_E_BOX_CLASS the box's window class could
 * not be registered, also on a second Init without End; QP240REMOTE_E_TOOLKIT
 * the drawing toolkit could not start; QP240REMOTE_E_NO_USER32 User32.dll is
 * not loaded (never while the DLL is: it imports User32.dll).
 * What a failed Init did stays done. After a failed first Init (the first of
 * the load, or the first since End) call End before unloading or trying again:
 * it undoes what Init got to. A QP240REMOTE_E_BOX_CLASS from a second Init
 * without End leaves the first in force: do not follow it with End, which
 * would end the first. Once an Init got as far as starting the toolkit
 * (it answered QP240REMOTE_OK or QP240REMOTE_E_NO_USER32), Create makes
 * instances, also after End and after a later failed Init. */
_Must_inspect_result_ int32_t QP240REMOTE_CALL QP240REMOTE_Init(_In_opt_ void* module);
typedef int32_t QP240REMOTE_CALL QP240REMOTE_InitFn(void* module);

/* QP240REMOTE_End: before unloading; library-level (see Threads). Destroy
 * every instance first (which closes its box). Answers QP240REMOTE_OK. The
 * saved settings and the error text survive it; an Init after End starts the
 * library again. A box still open after End (one another thread has yet to
 * destroy) paints nothing more and stays harmless. */
int32_t QP240REMOTE_CALL QP240REMOTE_End(void);
typedef int32_t QP240REMOTE_CALL QP240REMOTE_EndFn(void);

/* QP240REMOTE_GetPlugInformation: at any time, also before Init.
 * index [I] QP240REMOTE_PLUG_ARCHITECTURE_TEXT or QP240REMOTE_PLUG_INFORMATION
 * out   [O] room for QP240REMOTE_ARCHITECTURE_TEXT_SIZE or
 *           QP240REMOTE_PLUG_INFORMATION_SIZE bytes, all written
 * Answers QP240REMOTE_OK written; QP240REMOTE_E_NULL_OUT `out` null;
 * QP240REMOTE_E_BAD_INDEX another index, whatever `out` is. */
_Success_(return == QP240REMOTE_OK) int32_t QP240REMOTE_CALL QP240REMOTE_GetPlugInformation(
    int32_t index, _Out_writes_bytes_all_(index == QP240REMOTE_PLUG_INFORMATION
                                              ? QP240REMOTE_PLUG_INFORMATION_SIZE
                                              : QP240REMOTE_ARCHITECTURE_TEXT_SIZE) void* out);
typedef int32_t QP240REMOTE_CALL QP240REMOTE_GetPlugInformationFn(int32_t index, void* out);

/* QP240REMOTE_GetLastErrorString: at any time. The library's one error text:
 * "no-error" at load; "Object not created" after a call with a destroyed
 * instance's record that still exists; "Library is not initialized" after a
 * Create before any successful Init. Nothing resets it; one buffer for all
 * threads, whose address never changes. */
_Ret_z_ const char* QP240REMOTE_CALL QP240REMOTE_GetLastErrorString(void);
typedef const char* QP240REMOTE_CALL QP240REMOTE_GetLastErrorStringFn(void);

/* QP240REMOTE_Create: after Init has returned.
 * callback  [I] called on the instance's worker thread
 * userValue [I] the callback's first argument
 * Answers the new instance's handle, or null: a null callback (no instance);
 * no successful Init yet (the error text becomes "Library is not
 * initialized", unless an Init got as far as QP240REMOTE_E_NO_USER32); a
 * system without the raw-input functions; out of memory. The instance starts
 * from the library's defaults: the key mode and channel read at Init or saved
 * by the latest Destroy, padBank 0. The host owns the handle until it passes
 * it to Destroy. */
_Must_inspect_result_ _Ret_maybenull_ QP240REMOTE_Handle QP240REMOTE_CALL
QP240REMOTE_Create(_In_ QP240REMOTE_Callback callback, intptr_t userValue);
typedef QP240REMOTE_Handle QP240REMOTE_CALL QP240REMOTE_CreateFn(QP240REMOTE_Callback callback,
                                                                 intptr_t userValue);

/* QP240REMOTE_Destroy: answers QP240REMOTE_OK, or QP240REMOTE_E_BAD_HANDLE
 * (also for a second Destroy, and for all but one of several at once).
 * Saves the key mode and the channel (the library's defaults and the registry
 * take one instance's pair, as one step against other Destroys; the next
 * Create starts from it), closes the box, stops the worker as Stop does, and
 * frees the instance; after it returns no callback of the instance comes.
 * From inside a callback it does not wait, and the worker makes no further
 * callbacks at all, no 81 either: the host closes the keypad it opened
 * itself. */
int32_t QP240REMOTE_CALL QP240REMOTE_Destroy(_In_ _Post_ptr_invalid_ QP240REMOTE_Handle handle);
typedef int32_t QP240REMOTE_CALL QP240REMOTE_DestroyFn(QP240REMOTE_Handle handle);

/* QP240REMOTE_Start: answers QP240REMOTE_OK a worker started;
 * QP240REMOTE_ALREADY already started; QP240REMOTE_E_BAD_HANDLE;
 * QP240REMOTE_E_NO_THREAD no worker could be started (docs/host-contract.md
 * says when): the instance counts as started until Stop. A worker of an
 * earlier run still ending is waited for, at most QP240REMOTE_STOP_WAIT_MS.
 * The worker's first offer comes about a detection period after Start. */
_Must_inspect_result_ int32_t QP240REMOTE_CALL QP240REMOTE_Start(_In_ QP240REMOTE_Handle handle);
typedef int32_t QP240REMOTE_CALL QP240REMOTE_StartFn(QP240REMOTE_Handle handle);

/* QP240REMOTE_Stop: answers QP240REMOTE_OK stopped; QP240REMOTE_ALREADY not
 * started; QP240REMOTE_E_BAD_HANDLE, also when a Destroy overlapping it
 * claimed the instance.
 * On a host thread, whichever it answers, it returns only once the worker's
 * last callback (51) has returned (also when another thread's Stop, a Stop
 * from inside a callback, or a Destroy began the ending), or once the run was
 * given up on: by this Stop after QP240REMOTE_STOP_WAIT_MS (a callback that
 * blocks), or by an earlier Stop or Destroy, in which case it returns at
 * once. No callback of a run given up on begins after the give-up; the one
 * in hand may still be running. The wait lasts about a detection period while
 * detecting, the snapshot in hand plus a polling period while connected, plus
 * whatever a callback in progress takes; an offer may still come during it.
 * From inside a callback of its own instance it answers at once; 81, 70, 51
 * follow after that callback returns. */
int32_t QP240REMOTE_CALL QP240REMOTE_Stop(_In_ QP240REMOTE_Handle handle);
typedef int32_t QP240REMOTE_CALL QP240REMOTE_StopFn(QP240REMOTE_Handle handle);

/* QP240REMOTE_GetDriverStatus: answers QP240REMOTE_DRIVER_NOT_STARTED (also
 * for a bad handle), QP240REMOTE_DRIVER_DETECTING or
 * QP240REMOTE_DRIVER_CONNECTED. Changes nothing, not even the error text. */
int32_t QP240REMOTE_CALL QP240REMOTE_GetDriverStatus(_In_ QP240REMOTE_Handle handle);
typedef int32_t QP240REMOTE_CALL QP240REMOTE_GetDriverStatusFn(QP240REMOTE_Handle handle);

/* QP240REMOTE_GetContextSize: answers QP240REMOTE_CONTEXT_SIZE, or
 * QP240REMOTE_E_BAD_HANDLE. */
int32_t QP240REMOTE_CALL QP240REMOTE_GetContextSize(_In_ QP240REMOTE_Handle handle);
typedef int32_t QP240REMOTE_CALL QP240REMOTE_GetContextSizeFn(QP240REMOTE_Handle handle);

/* QP240REMOTE_GetContext:
 * out [O] the instance's context record (there is no size argument; no more
 *         than QP240REMOTE_CONTEXT_SIZE bytes are written)
 * Answers QP240REMOTE_OK; QP240REMOTE_E_NULL_CONTEXT `out` null;
 * QP240REMOTE_E_BAD_HANDLE. */
_Success_(return == QP240REMOTE_OK) int32_t QP240REMOTE_CALL
    QP240REMOTE_GetContext(_In_ QP240REMOTE_Handle handle, _Out_ QP240REMOTE_Context* out);
typedef int32_t QP240REMOTE_CALL QP240REMOTE_GetContextFn(QP240REMOTE_Handle handle,
                                                          QP240REMOTE_Context* out);

/* QP240REMOTE_SetContext:
 * in   [I] the context record, taken without range checks
 * size [I] QP240REMOTE_CONTEXT_SIZE
 * Answers QP240REMOTE_OK; QP240REMOTE_E_NULL_CONTEXT `in` null (checked before
 * the size); QP240REMOTE_E_CONTEXT_SIZE; QP240REMOTE_E_BAD_HANDLE.
 * An open box repaints its fields; a running worker uses the values from its
 * next snapshot on. Neither context call touches the registry or the
 * library's defaults, but the instance's Destroy saves the key mode and
 * channel SetContext set. */
int32_t QP240REMOTE_CALL QP240REMOTE_SetContext(_In_ QP240REMOTE_Handle handle,
                                                _In_reads_bytes_(size)
                                                    const QP240REMOTE_Context* in,
                                                int32_t size);
typedef int32_t QP240REMOTE_CALL QP240REMOTE_SetContextFn(QP240REMOTE_Handle handle,
                                                          const QP240REMOTE_Context* in,
                                                          int32_t size);

/* QP240REMOTE_ResetContext:
 * reset [I] 1: take the library's defaults (as Create does); any other value
 *           changes nothing
 * Answers QP240REMOTE_OK (an open box repaints either way), or
 * QP240REMOTE_E_BAD_HANDLE. */
int32_t QP240REMOTE_CALL QP240REMOTE_ResetContext(_In_ QP240REMOTE_Handle handle, int32_t reset);
typedef int32_t QP240REMOTE_CALL QP240REMOTE_ResetContextFn(QP240REMOTE_Handle handle,
                                                            int32_t reset);

/* QP240REMOTE_OpenConfigBox: the box as a child window of `parent`.
 * parent              [I] an HWND of the host's
 * x, y, width, height [I] in the parent's client pixels; at least
 *                         QP240REMOTE_BOX_MIN_WIDTH x QP240REMOTE_BOX_MIN_HEIGHT
 * Answers QP240REMOTE_OK a box was made; QP240REMOTE_ALREADY an open box was
 * moved, sized and shown; QP240REMOTE_E_NO_WINDOW no window could be made
 * (the instance has no box; the next open tries again);
 * QP240REMOTE_E_BAD_HANDLE.
 * The box's messages run on the thread that made it, which must pump messages
 * while it is open. Moving an open box from another thread waits until the
 * box's thread pumps. Made from inside a callback, the box is the worker's,
 * whose thread pumps nothing once the callback returns: close it and pump
 * until its window is gone (another thread's close leaves that to the box's
 * thread) before returning. A click on KEY MODE or M.I.D.I. Channel changes the
 * instance at once (the registry gets it at Destroy). A box destroyed with
 * its parent is forgotten: the next open makes a new one. The box passes
 * the parent what the system forwards by default (WM_CONTEXTMENU,
 * WM_SETCURSOR, ...); the parent's handler may call any export from there,
 * Destroy of the box's instance, End and FreeLibrary included: the box
 * touches nothing of the instance afterwards. */
_Must_inspect_result_ int32_t QP240REMOTE_CALL
QP240REMOTE_OpenConfigBox(_In_ QP240REMOTE_Handle handle, _In_ void* parent, int32_t x, int32_t y,
                          int32_t width, int32_t height);
typedef int32_t QP240REMOTE_CALL QP240REMOTE_OpenConfigBoxFn(QP240REMOTE_Handle handle,
                                                             void* parent, int32_t x, int32_t y,
                                                             int32_t width, int32_t height);

/* QP240REMOTE_CloseConfigBox: answers QP240REMOTE_OK closed;
 * QP240REMOTE_ALREADY no box open (also when it went with its parent);
 * QP240REMOTE_E_BAD_HANDLE. From a thread other than the box's it answers
 * once the box touches the instance no more (a paint or click in hand
 * finishes first); the window goes when the box's thread next pumps messages,
 * and until then End leaves the box's window class registered (the next Init
 * takes it down). */
int32_t QP240REMOTE_CALL QP240REMOTE_CloseConfigBox(_In_ QP240REMOTE_Handle handle);
typedef int32_t QP240REMOTE_CALL QP240REMOTE_CloseConfigBoxFn(QP240REMOTE_Handle handle);

/* QP240REMOTE_SetGetInformations: hands the driver something of the host's.
 * id   [I] QP240REMOTE_INFO_INPUT_REPORT or QP240REMOTE_INFO_HOST_STATUS
 * data [I] the input-report record or the status block
 * size [I] id 56: QP240REMOTE_HOST_STATUS_SIZE; id 55: not consulted
 * Id 55, on the thread that reads the keypad, for every report after 60: the
 * key bytes are queued and the call returns without waiting for the worker
 * (which translates them within a polling period). Several threads may make
 * id-55 calls for one instance. Answers QP240REMOTE_OK taken, and
 * also when the report was dropped because the queue was full or other
 * threads' id-55 calls held it up too long; QP240REMOTE_E_NOT_CONNECTED no
 * keypad connected (checked first, so also for a null record);
 * QP240REMOTE_E_NULL_DATA; QP240REMOTE_E_OTHER_DEVICE not the accepted
 * keypad's, or held up while the keypad was connected anew;
 * QP240REMOTE_E_REPORT_TOO_SHORT (32 keys, keys from report byte 4),
 * QP240REMOTE_E_REPORT_TOO_SHORT_15 or QP240REMOTE_E_KEYS_TOO_SHORT_15 (15
 * keys: product 0x60 has its keys in report bytes 1..15 by rows of five right
 * to left, the others from byte 4). Bit 0 of a key byte is the key's state.
 * Id 56, at any time between Create and Destroy, started or not: a new status
 * block. Answers QP240REMOTE_OK, also for a size other than 172, which is
 * ignored whatever the pointer; QP240REMOTE_E_NULL_DATA a null block of size
 * 172, which is not read.
 * Other ids: QP240REMOTE_E_BAD_ID. A bad handle: QP240REMOTE_E_BAD_HANDLE. */
int32_t QP240REMOTE_CALL QP240REMOTE_SetGetInformations(
    _In_ QP240REMOTE_Handle handle, int32_t id,
    _When_(id == QP240REMOTE_INFO_INPUT_REPORT,
           _In_reads_bytes_(QP240REMOTE_RAWINPUT_REPORT_OFFSET))
        _When_(id == QP240REMOTE_INFO_HOST_STATUS && size == QP240REMOTE_HOST_STATUS_SIZE,
               _In_reads_bytes_(size)) void* data,
    int32_t size);
typedef int32_t QP240REMOTE_CALL QP240REMOTE_SetGetInformationsFn(QP240REMOTE_Handle handle,
                                                                  int32_t id, void* data,
                                                                  int32_t size);

/* Each function type is its export's type, checked here: a host that
 * resolves a name with GetProcAddress calls what the linker would bind. A
 * static assertion where the language has one; in C99 and C++98 a
 * redeclaration through the type, which conflicts with a prototype of
 * another type (skipped under /analyze, which compares the annotations of
 * every declaration). */
#if defined(__cplusplus) &&                                                                        \
    (__cplusplus >= 201103L || (defined(_MSVC_LANG) && _MSVC_LANG >= 201103L))
/* C++ linkage whatever block a host includes the header in. */
extern "C++" {
template <typename A, typename B>
struct QP240REMOTE_SameType {
    enum { value = 0 };
};
template <typename A>
struct QP240REMOTE_SameType<A, A> {
    enum { value = 1 };
};
}
#define QP240REMOTE_CHECK_TYPE(name)                                                               \
    static_assert(QP240REMOTE_SameType<decltype(&name), name##Fn*>::value,                         \
                  #name "Fn is not the type of " #name)
#elif !defined(__cplusplus) && defined(__STDC_VERSION__) && __STDC_VERSION__ >= 201112L
#define QP240REMOTE_CHECK_TYPE(name)                                                               \
    _Static_assert(_Generic(&name, name##Fn * : 1, default : 0),                                   \
                   #name "Fn is not the type of " #name)
#elif !defined(_PREFAST_)
#define QP240REMOTE_CHECK_TYPE(name) name##Fn name
#else
#define QP240REMOTE_CHECK_TYPE(name) typedef name##Fn* name##Unchecked
#endif
QP240REMOTE_CHECK_TYPE(QP240REMOTE_Init);
QP240REMOTE_CHECK_TYPE(QP240REMOTE_End);
QP240REMOTE_CHECK_TYPE(QP240REMOTE_GetPlugInformation);
QP240REMOTE_CHECK_TYPE(QP240REMOTE_GetLastErrorString);
QP240REMOTE_CHECK_TYPE(QP240REMOTE_Create);
QP240REMOTE_CHECK_TYPE(QP240REMOTE_Destroy);
QP240REMOTE_CHECK_TYPE(QP240REMOTE_Start);
QP240REMOTE_CHECK_TYPE(QP240REMOTE_Stop);
QP240REMOTE_CHECK_TYPE(QP240REMOTE_GetDriverStatus);
QP240REMOTE_CHECK_TYPE(QP240REMOTE_GetContextSize);
QP240REMOTE_CHECK_TYPE(QP240REMOTE_GetContext);
QP240REMOTE_CHECK_TYPE(QP240REMOTE_SetContext);
QP240REMOTE_CHECK_TYPE(QP240REMOTE_ResetContext);
QP240REMOTE_CHECK_TYPE(QP240REMOTE_OpenConfigBox);
QP240REMOTE_CHECK_TYPE(QP240REMOTE_CloseConfigBox);
QP240REMOTE_CHECK_TYPE(QP240REMOTE_SetGetInformations);
#undef QP240REMOTE_CHECK_TYPE

#ifdef __cplusplus
} /* extern "C" */
#endif

#endif /* RC_INVOKED */

#endif /* QP240_REMOTE_H */
