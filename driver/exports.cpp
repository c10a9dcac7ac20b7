// The sixteen exports. Every export that takes a handle checks it first; a bad
// handle gives -1 (0 from GetDriverStatus) and leaves the error text alone.
#include "include/qp240_remote.h"

#include <cstring>

#include "config/config_box.h"
#include "config/settings.h"
#include "driver/handle_check.h"
#include "driver/library_state.h"
#include "driver/plug_information.h"
#include "engine/instance_lifetime.h"
#include "engine/report_intake.h"
#include "engine/worker_control.h"
#include "toolkit/drawing_resources.h"

static constexpr int32_t kKeypadPictureResource = 500;

/***********************************************************************
 * QP240REMOTE_Init
 *
 * PARAMS
 *     module  [I] the library's module; used only when process attach did
 *                 not record one
 * RETURNS
 *     0   initialised
 *     -1  the configuration box class could not be registered (also on a
 *         second Init without End, since the class exists)
 *     -2  the toolkit could not start
 *     -4  User32.dll is not loaded in the process; never while this DLL is
 *         loaded, since it imports User32.dll itself
 * NOTES
 *     What a failed step did stays done. A missing raw-input function is not
 *     an error here; Create then refuses to make instances.
 */
int32_t QP240REMOTE_Init(void* module) {
    if (g_library.module == nullptr)
        g_library.module = static_cast<HMODULE>(module);

    // Load the picture only when none is held: a second Init without End would
    // otherwise lose the first handle.
    if (g_library.keypadPicture == nullptr)
        g_library.keypadPicture =
            LoadBitmapA(g_library.module, MAKEINTRESOURCEA(kKeypadPictureResource));

    if (!ConfigBoxRegisterClass(g_library.module)) {
        // A second Init without End fails here. A class left over otherwise
        // (End could not unregister it while a box closed from another thread
        // still existed, or an earlier load of this library left it) is taken
        // down and registered anew, or the driver could never start again.
        if (g_library.boxClassRegistered || !ConfigBoxUnregisterClass(g_library.module) ||
            !ConfigBoxRegisterClass(g_library.module))
            return -1;
    }
    g_library.boxClassRegistered = 1;

    // The toolkit counts its starts; a failed start still counts, so End owes
    // it an end either way.
    const int toolkitReady = ToolkitInit(g_library.module);
    g_library.toolkitStarted = 1;
    if (!toolkitReady)
        return -2;

    g_library.initialised = 1;

    HMODULE user32 = GetModuleHandleA("User32.dll");
    if (user32 == nullptr)
        return -4;
    g_library.getDeviceList = reinterpret_cast<GetRawInputDeviceListFn>(
        reinterpret_cast<void*>(GetProcAddress(user32, "GetRawInputDeviceList")));
    g_library.getDeviceInfo = reinterpret_cast<GetRawInputDeviceInfoAFn>(
        reinterpret_cast<void*>(GetProcAddress(user32, "GetRawInputDeviceInfoA")));

    LoadSettings();
    return 0;
}

/***********************************************************************
 * QP240REMOTE_End
 *
 * RETURNS
 *     0 always.
 * NOTES
 *     Does not touch instances. The initialised mark, the raw-input functions,
 *     the defaults and the error text survive it. An End without a matching
 *     Init leaves the toolkit's count alone rather than driving it below zero.
 */
int32_t QP240REMOTE_End(void) {
    if (g_library.toolkitStarted) {
        g_library.toolkitStarted = 0;
        ToolkitEnd();
    }
    ConfigBoxUnregisterClass(g_library.module);
    g_library.boxClassRegistered = 0;
    if (g_library.keypadPicture != nullptr) {
        DeleteObject(g_library.keypadPicture);
        g_library.keypadPicture = nullptr;
    }
    return 0;
}

/***********************************************************************
 * QP240REMOTE_GetPlugInformation
 *
 * PARAMS
 *     index  [I] 0: the 43-byte architecture text; 1: the 1676-byte block
 *     out    [O] room for that many bytes
 * RETURNS
 *     0 written, -1 `out` null, -2 any other index.
 * NOTES
 *     Works at any time, also before Init.
 */
int32_t QP240REMOTE_GetPlugInformation(int32_t index, void* out) {
    if (index != 0 && index != 1)
        return -2;
    if (out == nullptr)
        return -1;
    if (index == 0)
        std::memcpy(out, kArchitectureText, kArchitectureTextSize);
    else
        std::memcpy(out, kPlugInformation.bytes, kPlugInformationSize);
    return 0;
}

/***********************************************************************
 * QP240REMOTE_GetLastErrorString
 *
 * RETURNS
 *     The library-wide error text: "no-error", "Object not created" or
 *     "Library is not initialized". The address never changes.
 */
const char* QP240REMOTE_GetLastErrorString(void) {
    return g_library.lastErrorText;
}

/***********************************************************************
 * QP240REMOTE_Create
 *
 * PARAMS
 *     callback   [I] the host's callback; not tested, it must be callable
 *     userValue  [I] handed back as the callback's first argument
 * RETURNS
 *     The new instance's handle, or null: before Init ("Library is not
 *     initialized"), without the raw-input functions, or out of memory.
 */
void* QP240REMOTE_Create(HostCallback callback, intptr_t userValue) {
    if (!g_library.initialised) {
        SetLastErrorText(kErrorNotInitialized);
        return nullptr;
    }
    if (g_library.getDeviceList == nullptr || g_library.getDeviceInfo == nullptr)
        return nullptr;
    // The worker calls the callback without a test; an instance that could
    // only crash its first Start is never made.
    if (callback == nullptr)
        return nullptr;

    const LibraryDefaults defaults = ReadLibraryDefaults();
    return InstanceCreate(callback, userValue,
                          DriverContext{defaults.keyMode, defaults.midiChannel, defaults.padBank});
}

/***********************************************************************
 * QP240REMOTE_Destroy
 *
 * RETURNS
 *     0 destroyed, -1 bad handle (also a handle Destroy was given before).
 * NOTES
 *     Checks null, readability and the GUID, not the created bit. Saves the
 *     settings, closes the box, stops the worker, then lets go of the
 *     instance: the queue, the exchange and the record are freed now, or by
 *     the worker when it ends if Stop could not wait for it (a host callback
 *     that blocks). From then on the worker makes no host calls. Called from
 *     inside a callback, it does not wait for the worker it runs on.
 */
int32_t QP240REMOTE_Destroy(void* handle) {
    if (CheckHandle(handle) == kHandleBad)
        return -1;
    DriverInstance* instance = static_cast<DriverInstance*>(handle);
    // A record its worker still holds after Destroy stays readable; the host
    // must not be able to destroy it twice.
    if (InstanceDestroyed(instance))
        return -1;

    SaveSettings(instance);
    ConfigBoxClose(instance);
    // Also waits for a worker that a Stop from inside its callback let finish
    // and that may still be in its last host calls: the host frees what they
    // use once this returns.
    WorkerControlRetire(instance);
    InstanceDropHost(instance);
    return 0;
}

/***********************************************************************
 * QP240REMOTE_Start
 *
 * RETURNS
 *     0 worker started, 1 already started, -1 bad handle, -2000 no thread.
 * NOTES
 *     After -2000 the instance counts as started until Stop: Start gives 1
 *     and the driver status 1. A Start that finds the worker of an earlier
 *     run still ending (a Stop on another thread waits for it, or it was
 *     stopped from inside its callback) waits for it, at most 10000 ms.
 *     -2000 also answers a Start while a worker Stop gave up on still lives,
 *     and one made on the ending worker's own thread; Stop and Start again
 *     once it ended.
 */
int32_t QP240REMOTE_Start(void* handle) {
    DriverInstance* instance = InstanceFromHandle(handle);
    if (instance == nullptr)
        return -1;
    return WorkerControlStart(instance);
}

/***********************************************************************
 * QP240REMOTE_Stop
 *
 * RETURNS
 *     0 stopped, 1 not started, -1 bad handle.
 * NOTES
 *     Waits at most 10000 ms for the worker to end; a worker still running
 *     then makes no more host calls and ends when the host lets it. Called
 *     from inside a callback, it does not wait: the worker ends after the
 *     callback returns.
 */
int32_t QP240REMOTE_Stop(void* handle) {
    DriverInstance* instance = InstanceFromHandle(handle);
    if (instance == nullptr)
        return -1;
    return WorkerControlStop(instance);
}

/***********************************************************************
 * QP240REMOTE_GetDriverStatus
 *
 * RETURNS
 *     0 bad handle, not created or not started; 1 started, no keypad
 *     accepted; 2 started and a keypad is being polled.
 * NOTES
 *     Changes nothing, not even the error text.
 */
int32_t QP240REMOTE_GetDriverStatus(void* handle) {
    if (CheckHandle(handle) != kHandleValid)
        return 0;
    const DriverInstance* instance = static_cast<const DriverInstance*>(handle);
    if ((instance->flags.load(std::memory_order_relaxed) & kInstanceStarted) == 0)
        return 0;
    return instance->connectedFlag.load(std::memory_order_acquire) != 0 ? 2 : 1;
}

/***********************************************************************
 * QP240REMOTE_GetContextSize
 *
 * RETURNS
 *     12, or -1 for a bad handle.
 */
int32_t QP240REMOTE_GetContextSize(void* handle) {
    if (InstanceFromHandle(handle) == nullptr)
        return -1;
    return sizeof(DriverContext);
}

/***********************************************************************
 * QP240REMOTE_GetContext
 *
 * PARAMS
 *     out  [O] 12 bytes: key mode, MIDI channel, PadBank
 * RETURNS
 *     0 written, -1 bad handle, -2 `out` null.
 * NOTES
 *     There is no size argument: the host provides exactly 12 bytes, and no
 *     more than 12 are ever written.
 */
int32_t QP240REMOTE_GetContext(void* handle, void* out) {
    DriverInstance* instance = InstanceFromHandle(handle);
    if (instance == nullptr)
        return -1;
    if (out == nullptr)
        return -2;
    const DriverContext context = ReadContext(instance);
    std::memcpy(out, &context, sizeof context);
    return 0;
}

/***********************************************************************
 * QP240REMOTE_SetContext
 *
 * PARAMS
 *     in    [I] a DriverContext, copied without range checks
 *     size  [I] must be 12
 * RETURNS
 *     0 taken, -1 bad handle, -2 `in` null, -3 size not 12.
 * NOTES
 *     Touches neither the registry nor the defaults; an open box repaints its
 *     fields. A running worker uses the values from its next snapshot on.
 */
int32_t QP240REMOTE_SetContext(void* handle, const void* in, int32_t size) {
    DriverInstance* instance = InstanceFromHandle(handle);
    if (instance == nullptr)
        return -1;
    if (in == nullptr)
        return -2;
    if (size != static_cast<int32_t>(sizeof(DriverContext)))
        return -3;
    DriverContext context;
    std::memcpy(&context, in, sizeof context);
    WriteContext(instance, context);
    ConfigBoxRepaintFields(instance);
    return 0;
}

/***********************************************************************
 * QP240REMOTE_ResetContext
 *
 * PARAMS
 *     reset  [I] 1: take the library defaults; any other value: no change
 * RETURNS
 *     0, or -1 for a bad handle.
 */
int32_t QP240REMOTE_ResetContext(void* handle, int32_t reset) {
    DriverInstance* instance = InstanceFromHandle(handle);
    if (instance == nullptr)
        return -1;
    if (reset == 1) {
        const LibraryDefaults defaults = ReadLibraryDefaults();
        WriteContext(instance,
                     DriverContext{defaults.keyMode, defaults.midiChannel, defaults.padBank});
    }
    ConfigBoxRepaintFields(instance);
    return 0;
}

/***********************************************************************
 * QP240REMOTE_OpenConfigBox
 *
 * PARAMS
 *     parent               [I] the host window that holds the box
 *     x, y, width, height  [I] in the parent's client coordinates
 * RETURNS
 *     0 created (also when the window could not be made), 1 an open box
 *     was moved, -1 bad handle.
 * NOTES
 *     The box's messages run on the calling thread.
 */
int32_t QP240REMOTE_OpenConfigBox(void* handle, void* parentWindow, int32_t x, int32_t y,
                                  int32_t width, int32_t height) {
    HWND parent = static_cast<HWND>(parentWindow);
    DriverInstance* instance = InstanceFromHandle(handle);
    if (instance == nullptr)
        return -1;
    return ConfigBoxOpen(instance, parent, x, y, width, height);
}

/***********************************************************************
 * QP240REMOTE_CloseConfigBox
 *
 * RETURNS
 *     0 closed, 1 no box open, -1 bad handle.
 * NOTES
 *     A box already destroyed with the host's window counts as not open (1).
 *     Called from a thread other than the box's own, it unbinds the box (after
 *     any paint or click the box is handling) and leaves the destruction to
 *     the box's thread.
 */
int32_t QP240REMOTE_CloseConfigBox(void* handle) {
    DriverInstance* instance = InstanceFromHandle(handle);
    if (instance == nullptr)
        return -1;
    return ConfigBoxClose(instance);
}

/***********************************************************************
 * QP240REMOTE_SetGetInformations
 *
 * PARAMS
 *     id    [I] 55: an input report of the accepted keypad;
 *               56: a new 172-byte host status block
 *     data  [I] the record or block
 *     size  [I] id 56: must be 172; id 55: not consulted
 * RETURNS
 *     id 55: 0 taken (also when the ring was full), -3 no keypad connected,
 *            -10 data null, -11 another device, -2 / -12 / -13 too short;
 *     id 56: 0, also for a size other than 172 (ignored); -10 for a
 *            null block of size 172, which is not read;
 *     other ids: -2; a bad handle: -1.
 * NOTES
 *     Id 55 returns at once: nothing is translated on the host's thread.
 */
int32_t QP240REMOTE_SetGetInformations(void* handle, int32_t id, void* data, int32_t size) {
    DriverInstance* instance = InstanceFromHandle(handle);
    if (instance == nullptr)
        return -1;
    switch (id) {
        case QP240REMOTE_INFO_INPUT_REPORT:
            return ReportIntake(instance, data);
        case QP240REMOTE_INFO_HOST_STATUS:
            return StatusExchangeWrite(&instance->statusExchange, data, size);
    }
    return -2;
}
