// The sixteen exports. What each answers, on which threads and when, is the
// public header's; the comments here say how it is done and which host quirks
// it deals with. Every export that takes a handle checks it first.
#include "include/qp240_remote.h"

#include <cstring>

#include "config/config_box.h"
#include "config/settings.h"
#include "driver/handle_check.h"
#include "driver/instance_record.h"
#include "driver/library_state.h"
#include "base/plug_information.h"
#include "engine/instance_lifetime.h"
#include "engine/report_intake.h"
#include "engine/worker_control.h"
#include "toolkit/drawing_resources.h"

// The record behind a handle the host holds, and the handle of a record: the
// host's handle type is a pointer it never looks through.
static DriverInstance* RecordOf(QP240REMOTE_Handle handle) {
    return static_cast<DriverInstance*>(static_cast<void*>(handle));
}
static QP240REMOTE_Handle HandleOf(DriverInstance* instance) {
    return static_cast<QP240REMOTE_Handle>(static_cast<void*>(instance));
}

// Every export with a handle but Destroy, Stop and GetDriverStatus: the
// handle check, then `work` with the instance held, then the hold let go of.
// The record outlives the call whatever other threads do meanwhile.
template <typename Work>
static int32_t WithInstance(QP240REMOTE_Handle handle, Work work) {
    DriverInstance* instance = HoldInstance(RecordOf(handle));
    if (instance == nullptr)
        return QP240REMOTE_E_BAD_HANDLE;
    const int32_t answer = work(instance);
    InstanceRelease(&instance->lifetime);
    return answer;
}

/***********************************************************************
 * QP240REMOTE_Init
 *
 * In order: the keypad picture, the box's window class, the toolkit, the
 * initialised mark, the raw-input functions, the saved settings. A missing
 * raw-input function is not an error here; Create refuses to make instances
 * then.
 */
_Use_decl_annotations_ int32_t QP240REMOTE_Init(void* module) {
    if (g_library.module == nullptr)
        g_library.module = static_cast<HMODULE>(module);

    // Load the picture only when none is held: a second Init without End would
    // otherwise lose the first handle.
    if (g_keypadPicture == nullptr) {
        // Loaded outside the paint guard (resource look-ups may need the
        // loader lock), stored under it: a box left open by an earlier Init
        // may be painting.
        HBITMAP picture =
            LoadBitmapA(g_library.module, MAKEINTRESOURCEA(QP240REMOTE_KEYPAD_PICTURE_ID));
        ToolkitRetireBegin();
        g_keypadPicture = picture;
        ToolkitRetireEnd();
    }

    if (!ConfigBoxRegisterClass(g_library.module)) {
        // A second Init without End fails here. A class left over otherwise
        // (End could not unregister it while a box closed from another thread
        // still existed, or an earlier load of this library left it) is taken
        // down and registered anew, or the driver could never start again.
        if (g_library.boxClassRegistered || !ConfigBoxUnregisterClass(g_library.module) ||
            !ConfigBoxRegisterClass(g_library.module))
            return QP240REMOTE_E_BOX_CLASS;
    }
    g_library.boxClassRegistered = 1;

    // The toolkit counts its starts; a failed start still counts, so End owes
    // it an end either way.
    const int toolkitReady = ToolkitInit(g_library.module);
    g_library.toolkitStarted = 1;
    if (!toolkitReady)
        return QP240REMOTE_E_TOOLKIT;

    g_library.initialised = 1;

    HMODULE user32 = GetModuleHandleA("User32.dll");
    if (user32 == nullptr)
        return QP240REMOTE_E_NO_USER32;
    g_library.rawInput.getDeviceList = reinterpret_cast<GetRawInputDeviceListFn>(
        reinterpret_cast<void*>(GetProcAddress(user32, "GetRawInputDeviceList")));
    g_library.rawInput.getDeviceInfo = reinterpret_cast<GetRawInputDeviceInfoAFn>(
        reinterpret_cast<void*>(GetProcAddress(user32, "GetRawInputDeviceInfoA")));

    LoadSettings();
    return QP240REMOTE_OK;
}

/***********************************************************************
 * QP240REMOTE_End
 *
 * Undoes Init in reverse order. Instances are not touched; the initialised
 * mark, the raw-input functions and the defaults survive. An End without a
 * matching Init leaves the toolkit's count alone rather than driving it below
 * zero, and a class still in use by a box another thread has yet to destroy
 * stays registered (the next Init takes it down).
 */
_Use_decl_annotations_ int32_t QP240REMOTE_End(void) {
    // A box still open on another thread paints with the toolkit's objects and
    // the picture: it finds them gone afterwards, never half deleted.
    ToolkitRetireBegin();
    if (g_library.toolkitStarted) {
        g_library.toolkitStarted = 0;
        ToolkitEnd();
    }
    ConfigBoxUnregisterClass(g_library.module);
    g_library.boxClassRegistered = 0;
    if (g_keypadPicture != nullptr) {
        DeleteObject(g_keypadPicture);
        g_keypadPicture = nullptr;
    }
    ToolkitRetireEnd();
    return QP240REMOTE_OK;
}

/***********************************************************************
 * QP240REMOTE_GetPlugInformation
 *
 * Both answers are constants of the deliverable, copied whole.
 */
_Use_decl_annotations_ int32_t QP240REMOTE_GetPlugInformation(int32_t index, void* out) {
    if (index != QP240REMOTE_PLUG_ARCHITECTURE_TEXT && index != QP240REMOTE_PLUG_INFORMATION)
        return QP240REMOTE_E_BAD_INDEX;
    if (out == nullptr)
        return QP240REMOTE_E_NULL_OUT;
    if (index == QP240REMOTE_PLUG_ARCHITECTURE_TEXT)
        std::memcpy(out, kArchitectureText, QP240REMOTE_ARCHITECTURE_TEXT_SIZE);
    else
        std::memcpy(out, kPlugInformation.bytes, QP240REMOTE_PLUG_INFORMATION_SIZE);
    return QP240REMOTE_OK;
}

/***********************************************************************
 * QP240REMOTE_GetLastErrorString
 *
 * One library-wide buffer, written without a lock by whichever call sets it.
 */
_Use_decl_annotations_ const char* QP240REMOTE_GetLastErrorString(void) {
    return g_library.lastErrorText;
}

/***********************************************************************
 * QP240REMOTE_Create
 *
 * The record starts from the library defaults; a queue or exchange whose
 * storage could not be obtained leaves the instance working without it (its
 * reports or status blocks are then dropped).
 */
_Use_decl_annotations_ QP240REMOTE_Handle QP240REMOTE_Create(QP240REMOTE_Callback callback,
                                                             intptr_t userValue) {
    if (!g_library.initialised) {
        SetLastErrorText(kErrorNotInitialized);
        return nullptr;
    }
    if (g_library.rawInput.getDeviceList == nullptr || g_library.rawInput.getDeviceInfo == nullptr)
        return nullptr;
    // The worker calls the callback without a test; an instance that could
    // only crash its first Start is never made.
    if (callback == nullptr)
        return nullptr;

    const LibraryDefaults defaults = ReadLibraryDefaults();
    return HandleOf(InstanceRecordCreate(
        callback, userValue,
        QP240REMOTE_Context{defaults.keyMode, defaults.midiChannel, defaults.padBank}));
}

/***********************************************************************
 * QP240REMOTE_Destroy
 *
 * Checks null, readability and the GUID, not the created bit. One Destroy
 * claims the instance; it lets go after the stop, and the queue, the exchange
 * and the record are freed by whichever holder lets go last: this Destroy, a
 * call still under way, the box, or the worker when it ends if Stop could not
 * wait for it (a host callback that blocks).
 */
_Use_decl_annotations_ int32_t QP240REMOTE_Destroy(QP240REMOTE_Handle handle) {
    // Held while claimed, so that a Destroy that loses the claim can wait for
    // the run's end before it answers.
    DriverInstance* instance = HoldInstanceToEnd(RecordOf(handle));
    if (instance == nullptr)
        return QP240REMOTE_E_BAD_HANDLE;
    if (!WorkerControlClaim(&instance->engine)) {
        InstanceRelease(&instance->lifetime);
        return QP240REMOTE_E_BAD_HANDLE;
    }
    SaveSettings(&instance->engine.settings);
    ConfigBoxClose(&instance->configBox);
    // Also waits for a worker that a Stop from inside its callback let finish
    // and that may still be in its last host calls: the host frees what they
    // use once this returns.
    WorkerControlRetire(&instance->engine);
    InstanceRelease(&instance->lifetime);
    return QP240REMOTE_OK;
}

/***********************************************************************
 * QP240REMOTE_Start
 *
 * The decision and the thread's creation are one step under the instance's
 * lifecycle lock (engine/worker_control.h).
 */
_Use_decl_annotations_ int32_t QP240REMOTE_Start(QP240REMOTE_Handle handle) {
    return WithInstance(handle, [](DriverInstance* instance) {
        return WorkerControlStart(&instance->engine, g_library.rawInput);
    });
}

/***********************************************************************
 * QP240REMOTE_Stop
 *
 * Knows a call from the worker's own thread by its thread id, and then does
 * not wait for itself. Held while Destroy has claimed the instance, so that
 * it answers only once the run is over.
 */
_Use_decl_annotations_ int32_t QP240REMOTE_Stop(QP240REMOTE_Handle handle) {
    DriverInstance* instance = HoldInstanceToEnd(RecordOf(handle));
    if (instance == nullptr)
        return QP240REMOTE_E_BAD_HANDLE;
    const int32_t answer = WorkerControlStop(&instance->engine);
    InstanceRelease(&instance->lifetime);
    // A record whose created bit is clear, as every other export reports it.
    if (answer == QP240REMOTE_E_BAD_HANDLE)
        SetLastErrorText(kErrorObjectNotCreated);
    return answer;
}

/***********************************************************************
 * QP240REMOTE_GetDriverStatus
 *
 * Reads the flags without the lifecycle lock: a value of the moment. Held
 * like Stop, since it must not set the error text for a claimed instance.
 */
_Use_decl_annotations_ int32_t QP240REMOTE_GetDriverStatus(QP240REMOTE_Handle handle) {
    DriverInstance* instance = HoldInstanceToEnd(RecordOf(handle));
    if (instance == nullptr)
        return QP240REMOTE_DRIVER_NOT_STARTED;
    int32_t status = QP240REMOTE_DRIVER_NOT_STARTED;
    if ((instance->engine.flags.load(std::memory_order_relaxed) & kInstanceStarted) != 0)
        status = instance->engine.connectedFlag.load(std::memory_order_acquire) != 0
                     ? QP240REMOTE_DRIVER_CONNECTED
                     : QP240REMOTE_DRIVER_DETECTING;
    InstanceRelease(&instance->lifetime);
    return status;
}

/***********************************************************************
 * QP240REMOTE_GetContextSize
 */
_Use_decl_annotations_ int32_t QP240REMOTE_GetContextSize(QP240REMOTE_Handle handle) {
    return WithInstance(
        handle, [](DriverInstance*) { return static_cast<int32_t>(sizeof(QP240REMOTE_Context)); });
}

/***********************************************************************
 * QP240REMOTE_GetContext
 *
 * Each field is read whole; a box click or context call on another thread
 * may land between two of them.
 */
_Use_decl_annotations_ int32_t QP240REMOTE_GetContext(QP240REMOTE_Handle handle,
                                                      QP240REMOTE_Context* out) {
    return WithInstance(handle, [out](DriverInstance* instance) {
        if (out == nullptr)
            return QP240REMOTE_E_NULL_CONTEXT;
        const QP240REMOTE_Context context = ReadContext(&instance->engine.settings);
        std::memcpy(out, &context, sizeof context);
        return QP240REMOTE_OK;
    });
}

/***********************************************************************
 * QP240REMOTE_SetContext
 *
 * The host's record is copied first, so an unaligned one is read safely.
 */
_Use_decl_annotations_ int32_t QP240REMOTE_SetContext(QP240REMOTE_Handle handle,
                                                      const QP240REMOTE_Context* in, int32_t size) {
    return WithInstance(handle, [in, size](DriverInstance* instance) {
        if (in == nullptr)
            return QP240REMOTE_E_NULL_CONTEXT;
        if (size != static_cast<int32_t>(sizeof(QP240REMOTE_Context)))
            return QP240REMOTE_E_CONTEXT_SIZE;
        QP240REMOTE_Context context;
        std::memcpy(&context, in, sizeof context);
        WriteContext(&instance->engine.settings, context);
        ConfigBoxRepaintFields(&instance->configBox);
        return QP240REMOTE_OK;
    });
}

/***********************************************************************
 * QP240REMOTE_ResetContext
 */
_Use_decl_annotations_ int32_t QP240REMOTE_ResetContext(QP240REMOTE_Handle handle, int32_t reset) {
    return WithInstance(handle, [reset](DriverInstance* instance) {
        if (reset == 1) {
            const LibraryDefaults defaults = ReadLibraryDefaults();
            WriteContext(
                &instance->engine.settings,
                QP240REMOTE_Context{defaults.keyMode, defaults.midiChannel, defaults.padBank});
        }
        ConfigBoxRepaintFields(&instance->configBox);
        return QP240REMOTE_OK;
    });
}

/***********************************************************************
 * QP240REMOTE_OpenConfigBox
 *
 * Of several opens at once on several threads one makes the box.
 */
_Use_decl_annotations_ int32_t QP240REMOTE_OpenConfigBox(QP240REMOTE_Handle handle,
                                                         void* parentWindow, int32_t x, int32_t y,
                                                         int32_t width, int32_t height) {
    HWND parent = static_cast<HWND>(parentWindow);
    return WithInstance(handle, [=](DriverInstance* instance) {
        return ConfigBoxOpen(&instance->configBox, g_library.module, parent, x, y, width, height);
    });
}

/***********************************************************************
 * QP240REMOTE_CloseConfigBox
 *
 * From another thread the box is unbound at once and posted its close, with
 * its procedure turned to the system's default first.
 */
_Use_decl_annotations_ int32_t QP240REMOTE_CloseConfigBox(QP240REMOTE_Handle handle) {
    return WithInstance(
        handle, [](DriverInstance* instance) { return ConfigBoxClose(&instance->configBox); });
}

/***********************************************************************
 * QP240REMOTE_SetGetInformations
 *
 * Id 55 cuts the snapshot and queues it on the host's thread
 * (engine/report_intake.h); id 56 goes through the status exchange
 * (engine/status_exchange.h). Neither allocates or waits for the worker.
 */
_Use_decl_annotations_ int32_t QP240REMOTE_SetGetInformations(QP240REMOTE_Handle handle, int32_t id,
                                                              void* data, int32_t size) {
    if (id == QP240REMOTE_INFO_INPUT_REPORT) {
        // The report path holds the record through the producers' guard.
        if (CheckHandle(RecordOf(handle)) == kHandleBad)
            return QP240REMOTE_E_BAD_HANDLE;
        const int32_t answer = ReportIntake(&RecordOf(handle)->engine, data);
        if (answer == QP240REMOTE_E_BAD_HANDLE)
            SetLastErrorText(kErrorObjectNotCreated);
        return answer;
    }
    return WithInstance(handle, [=](DriverInstance* instance) {
        if (id == QP240REMOTE_INFO_HOST_STATUS)
            return StatusExchangeWrite(&instance->engine.statusExchange, data, size);
        return QP240REMOTE_E_BAD_ID;
    });
}
