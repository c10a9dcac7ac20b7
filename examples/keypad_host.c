/*
 * keypad_host.c - a host of a Kolmar keypad driver that does a host's whole
 * work: it checks the DLL's version, starts an instance, accepts the keypad
 * the driver offers, registers for that keypad's raw input on a message-only
 * window and hands every WM_INPUT report to the driver (id 55), sends its own
 * status block (id 56) once a second, shows the configuration box in a window
 * of its own, prints every event, switches to MIDI halfway through the run
 * with the context calls, and ends with the one safe teardown sequence.
 *
 * Linked through the import library of the DLL it drives:
 *   x86_64-w64-mingw32-gcc -std=c99 -Iinclude examples/keypad_host.c
 *       lib/libKolmar32Keys.dll.a -luser32 -o keypad_host.exe
 *   (Microsoft: cl /Iinclude examples\keypad_host.c lib\Kolmar32Keys.lib user32.lib)
 * and run beside that DLL:
 *   keypad_host [seconds]   (default 20: the run after the keypad connected)
 * Press keys on the keypad while it runs. Exits 0 when a keypad connected and
 * every call answered as the contract says, 1 otherwise.
 */
#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <windows.h>

#include "qp240_remote.h"

/* What the worker asks of the window's thread, posted to the message-only
 * window: a callback must not wait for the host's threads. */
#define WM_HOST_OPEN_KEYPAD (WM_APP + 1)  /* lParam: the offered device handle */
#define WM_HOST_CLOSE_KEYPAD (WM_APP + 2) /* the run ended */
#define WM_HOST_CONNECTED (WM_APP + 3)    /* reports are taken from now on */

#define TIMER_STATUS 1    /* a new status block every second */
#define TIMER_MIDI 2      /* halfway: to MIDI */
#define TIMER_END 3       /* the run is over */
#define TIMER_NO_KEYPAD 4 /* no keypad connected in time */

#define NO_KEYPAD_MS 30000 /* how long to wait for a keypad */

/* The host. The main thread owns every field but `statusCount`, which the
 * worker also counts up when it asks for a block (code 151). */
typedef struct Host {
    int initialised;    /* Init answered QP240REMOTE_OK */
    ATOM windowClass;   /* both windows' class, or 0 */
    HWND messageWindow; /* receives WM_INPUT and the worker's requests */
    HWND boxWindow;     /* top-level window holding the box */
    QP240REMOTE_Handle instance;
    QP240REMOTE_Context found; /* the context the instance started with */
    int contextChanged;        /* SetContext was called: put `found` back */
    HANDLE keypad;             /* accepted device while registered, else NULL */
    int connected;             /* code 60 came */
    int ok;                    /* every call answered as expected */
    UINT runMs;
    LONG statusCount; /* blocks sent, the block's own content */
    int32_t statusWords[QP240REMOTE_HOST_STATUS_SIZE / sizeof(int32_t)];
} Host;

static void Say(const char* format, ...) {
    va_list arguments;
    va_start(arguments, format);
    vprintf(format, arguments);
    va_end(arguments);
    printf("\n");
    fflush(stdout);
}

static void Expect(Host* host, const char* call, int32_t answer, int32_t expected) {
    Say("%s -> %d", call, (int)answer);
    if (answer != expected)
        host->ok = 0;
}

/* What a host keeps in its status block is its own business; the driver keeps
 * the newest copy and never reads it. This one: a count and the time. */
static void FillStatus(Host* host, int32_t* words) {
    memset(words, 0, QP240REMOTE_HOST_STATUS_SIZE);
    words[0] = (int32_t)InterlockedIncrement(&host->statusCount);
    words[1] = (int32_t)GetTickCount();
}

static void PrintMidi(int32_t count, const unsigned char* bytes) {
    int32_t i;
    for (i = 0; i + 2 < count; i += 3)
        Say("  MIDI %s ch %d note %d vel %d", (bytes[i] & 0xF0) == 0x90 ? "Note On" : "Note Off",
            (bytes[i] & 0x0F) + 1, bytes[i + 1], bytes[i + 2]);
}

/* Runs on the instance's worker thread, one call at a time. */
static int32_t QP240REMOTE_CALL OnDriver(intptr_t userValue, int32_t code, int32_t argument,
                                         void* pointer) {
    Host* host = (Host*)userValue;
    switch (code) {
        case QP240REMOTE_CODE_WORKER_BEGINS:
            Say("callback 50 worker begins");
            break;
        case QP240REMOTE_CODE_OFFER_KEYPAD:
            /* Accept, and have the window's thread register for its reports. */
            Say("callback 80 offer of keypad %p: accepted", pointer);
            PostMessageA(host->messageWindow, WM_HOST_OPEN_KEYPAD, 0, (LPARAM)pointer);
            return 1;
        case QP240REMOTE_CODE_FILL_STATUS:
            FillStatus(host, (int32_t*)pointer);
            Say("callback 151 status block filled (%d bytes)", (int)argument);
            break;
        case QP240REMOTE_CODE_CONNECTED:
            Say("callback 60 keypad connected");
            PostMessageA(host->messageWindow, WM_HOST_CONNECTED, 0, 0);
            break;
        case QP240REMOTE_CODE_PAD_PRESSED:
            Say("callback 1310 pad pressed: pad %d", (int)argument);
            break;
        case QP240REMOTE_CODE_PAD_RELEASED:
            Say("callback 1311 pad released: pad %d", (int)argument);
            break;
        case QP240REMOTE_CODE_STOP_ALL_PADS:
            Say("callback 1314 StopAllPads");
            break;
        case QP240REMOTE_CODE_STOP_ALL_PLISTS:
            Say("callback 1315 StopAllPlists");
            break;
        case QP240REMOTE_CODE_MIDI_BYTES:
            Say("callback 1301 MIDI bytes: %d", (int)argument);
            PrintMidi(argument, (const unsigned char*)pointer);
            break;
        case QP240REMOTE_CODE_CLOSE_KEYPAD:
            Say("callback 81 close keypad %p", pointer);
            PostMessageA(host->messageWindow, WM_HOST_CLOSE_KEYPAD, 0, 0);
            break;
        case QP240REMOTE_CODE_NO_KEYPAD:
            Say("callback 70 no keypad");
            break;
        case QP240REMOTE_CODE_WORKER_ENDS:
            Say("callback 51 worker ends");
            break;
        default:
            Say("callback %d", (int)code);
    }
    return 0;
}

/* Opening a keypad: raw input has no per-device open, so the host registers
 * for the reports of the keypads' usage and passes on those of this device. */
static void OpenKeypad(Host* host, HANDLE device) {
    RAWINPUTDEVICE usage;
    usage.usUsagePage = QP240REMOTE_KEYPAD_USAGE_PAGE;
    usage.usUsage = QP240REMOTE_KEYPAD_USAGE;
    usage.dwFlags = RIDEV_INPUTSINK; /* also while another window has the focus */
    usage.hwndTarget = host->messageWindow;
    if (!RegisterRawInputDevices(&usage, 1, sizeof usage)) {
        Say("RegisterRawInputDevices failed (%lu)", GetLastError());
        host->ok = 0;
        return;
    }
    host->keypad = device;
    Say("keypad %p opened: registered for its raw input", device);
}

/* Closing it: no more reports of that usage. Safe to repeat. */
static void CloseKeypad(Host* host) {
    RAWINPUTDEVICE usage;
    if (host->keypad == NULL)
        return;
    usage.usUsagePage = QP240REMOTE_KEYPAD_USAGE_PAGE;
    usage.usUsage = QP240REMOTE_KEYPAD_USAGE;
    usage.dwFlags = RIDEV_REMOVE;
    usage.hwndTarget = NULL;
    RegisterRawInputDevices(&usage, 1, sizeof usage);
    host->keypad = NULL;
    Say("keypad closed: raw input unregistered");
}

/* One WM_INPUT: the record as GetRawInputData gives it goes to id 55 whole,
 * when it comes from the accepted keypad. */
static void OnInput(Host* host, HRAWINPUT input) {
    static union {
        RAWINPUT record;
        unsigned char bytes[sizeof(RAWINPUT) + 1024];
    } buffer;
    UINT size = sizeof buffer;
    int32_t answer;
    if (GetRawInputData(input, RID_INPUT, &buffer, &size, sizeof(RAWINPUTHEADER)) == (UINT)-1)
        return;
    if (buffer.record.header.dwType != RIM_TYPEHID || buffer.record.header.hDevice != host->keypad)
        return;
    answer = QP240REMOTE_SetGetInformations(host->instance, QP240REMOTE_INFO_INPUT_REPORT, &buffer,
                                            (int32_t)size);
    if (answer != QP240REMOTE_OK && answer != QP240REMOTE_E_NOT_CONNECTED)
        Say("id 55 -> %d", (int)answer);
}

static void SendStatus(Host* host) {
    FillStatus(host, host->statusWords);
    QP240REMOTE_SetGetInformations(host->instance, QP240REMOTE_INFO_HOST_STATUS, host->statusWords,
                                   QP240REMOTE_HOST_STATUS_SIZE);
}

/* Halfway: the key mode becomes MIDI through the context calls, as a host
 * restoring a document's settings would set it. */
static void SwitchToMidi(Host* host) {
    QP240REMOTE_Context context;
    Expect(host, "QP240REMOTE_GetContextSize", QP240REMOTE_GetContextSize(host->instance),
           QP240REMOTE_CONTEXT_SIZE);
    Expect(host, "QP240REMOTE_GetContext", QP240REMOTE_GetContext(host->instance, &context),
           QP240REMOTE_OK);
    context.keyMode = QP240REMOTE_KEY_MODE_MIDI;
    Expect(host, "QP240REMOTE_SetContext (key mode MIDI)",
           QP240REMOTE_SetContext(host->instance, &context, sizeof context), QP240REMOTE_OK);
    host->contextChanged = 1;
}

static void OnTimer(Host* host, HWND window, UINT_PTR timer) {
    switch (timer) {
        case TIMER_STATUS:
            SendStatus(host);
            break;
        case TIMER_MIDI:
            KillTimer(window, TIMER_MIDI);
            SwitchToMidi(host);
            break;
        case TIMER_NO_KEYPAD:
            Say("no keypad connected within %d s", NO_KEYPAD_MS / 1000);
            host->ok = 0;
            PostQuitMessage(0);
            break;
        case TIMER_END:
            PostQuitMessage(0);
            break;
    }
}

static void OnConnected(Host* host, HWND window) {
    if (host->connected)
        return;
    host->connected = 1;
    KillTimer(window, TIMER_NO_KEYPAD);
    SetTimer(window, TIMER_MIDI, host->runMs / 2, NULL);
    SetTimer(window, TIMER_END, host->runMs, NULL);
}

static LRESULT CALLBACK HostWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    Host* host = (Host*)GetWindowLongPtrA(window, GWLP_USERDATA);
    if (message == WM_NCCREATE) {
        host = (Host*)((CREATESTRUCTA*)lParam)->lpCreateParams;
        SetWindowLongPtrA(window, GWLP_USERDATA, (LONG_PTR)host);
    }
    if (host == NULL)
        return DefWindowProcA(window, message, wParam, lParam);
    switch (message) {
        case WM_INPUT:
            OnInput(host, (HRAWINPUT)lParam);
            break; /* the default procedure cleans up after WM_INPUT */
        case WM_HOST_OPEN_KEYPAD:
            CloseKeypad(host);
            OpenKeypad(host, (HANDLE)lParam);
            return 0;
        case WM_HOST_CLOSE_KEYPAD:
            CloseKeypad(host);
            return 0;
        case WM_HOST_CONNECTED:
            OnConnected(host, window);
            return 0;
        case WM_TIMER:
            OnTimer(host, window, (UINT_PTR)wParam);
            return 0;
        case WM_CLOSE: /* the user closed the box's window: end the run */
            PostQuitMessage(0);
            return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

/* The version word of the DLL's plug information against this header's. */
static int DriverMatches(void) {
    unsigned char block[QP240REMOTE_PLUG_INFORMATION_SIZE];
    uint32_t word;
    if (QP240REMOTE_GetPlugInformation(QP240REMOTE_PLUG_INFORMATION, block) != QP240REMOTE_OK)
        return 0;
    word = QP240REMOTE_PLUG_VERSION_WORD(block);
    Say("driver \"%s\" for \"%s\", version %u.%u.%u.%u",
        (const char*)block + QP240REMOTE_PLUG_MODULE_OFFSET,
        (const char*)block + QP240REMOTE_PLUG_MODEL_OFFSET, (unsigned)(word >> 24),
        (unsigned)(word >> 16 & 0xFF), (unsigned)(word >> 8 & 0xFF), (unsigned)(word & 0xFF));
    return QP240REMOTE_VERSION_MATCHES(word);
}

/* The windows: one class, a message-only window for raw input and the
 * worker's requests, and a top-level window sized to hold the box. */
static int MakeWindows(Host* host) {
    WNDCLASSA windowClass;
    RECT frame = {0, 0, QP240REMOTE_BOX_WIDTH, QP240REMOTE_BOX_HEIGHT};
    memset(&windowClass, 0, sizeof windowClass);
    windowClass.lpfnWndProc = HostWindowProc;
    windowClass.hInstance = GetModuleHandleA(NULL);
    windowClass.hCursor = LoadCursorA(NULL, (LPCSTR)IDC_ARROW);
    windowClass.lpszClassName = "Kolmar keypad host";
    host->windowClass = RegisterClassA(&windowClass);
    if (host->windowClass == 0)
        return 0;
    host->messageWindow = CreateWindowExA(0, windowClass.lpszClassName, "", 0, 0, 0, 0, 0,
                                          HWND_MESSAGE, NULL, windowClass.hInstance, host);
    AdjustWindowRect(&frame, WS_OVERLAPPEDWINDOW, FALSE);
    host->boxWindow =
        CreateWindowExA(0, windowClass.lpszClassName, "Kolmar keypad", WS_OVERLAPPEDWINDOW,
                        CW_USEDEFAULT, CW_USEDEFAULT, frame.right - frame.left,
                        frame.bottom - frame.top, NULL, NULL, windowClass.hInstance, host);
    return host->messageWindow != NULL && host->boxWindow != NULL;
}

/* The teardown, in the one safe order; each step checks what it releases,
 * so it serves every way out of Run. */
static void Finish(Host* host) {
    if (host->instance != NULL) {
        /* Destroy saves the key mode and channel for the user: put back the
         * ones this run found, since the switch to MIDI was the example's. */
        if (host->contextChanged)
            QP240REMOTE_SetContext(host->instance, &host->found, sizeof host->found);
        /* Stops the worker (its 81 posts a close that comes too late for the
         * loop) and closes the box. */
        Expect(host, "QP240REMOTE_Destroy", QP240REMOTE_Destroy(host->instance), QP240REMOTE_OK);
        host->instance = NULL;
    }
    CloseKeypad(host);
    if (host->boxWindow != NULL) {
        DestroyWindow(host->boxWindow);
        host->boxWindow = NULL;
    }
    if (host->messageWindow != NULL) {
        DestroyWindow(host->messageWindow);
        host->messageWindow = NULL;
    }
    if (host->windowClass != 0) {
        UnregisterClassA((LPCSTR)(ULONG_PTR)host->windowClass, GetModuleHandleA(NULL));
        host->windowClass = 0;
    }
    if (host->initialised) {
        Expect(host, "QP240REMOTE_End", QP240REMOTE_End(), QP240REMOTE_OK);
        host->initialised = 0;
    }
}

static void Run(Host* host) {
    MSG message;
    RECT client;
    int32_t answer;

    if (!DriverMatches()) {
        Say("the linked driver is not of this header's contract");
        host->ok = 0;
        return;
    }
    /* The DLL recorded its own module when it was loaded with the program, so
     * a linked host passes none. A first Init that fails is undone by End
     * (Finish); a second Init of the same load would fail and must not be
     * followed by End. */
    answer = QP240REMOTE_Init(NULL);
    Expect(host, "QP240REMOTE_Init", answer, QP240REMOTE_OK);
    host->initialised = 1;
    if (answer != QP240REMOTE_OK || !MakeWindows(host))
        return;

    host->instance = QP240REMOTE_Create(OnDriver, (intptr_t)host);
    Say("QP240REMOTE_Create -> %s", host->instance != NULL ? "an instance" : "null");
    if (host->instance == NULL) {
        host->ok = 0;
        return;
    }
    QP240REMOTE_GetContext(host->instance, &host->found);

    GetClientRect(host->boxWindow, &client);
    Expect(host, "QP240REMOTE_OpenConfigBox",
           QP240REMOTE_OpenConfigBox(host->instance, host->boxWindow, 0, 0, client.right,
                                     client.bottom),
           QP240REMOTE_OK);
    ShowWindow(host->boxWindow, SW_SHOW);

    Expect(host, "QP240REMOTE_Start", QP240REMOTE_Start(host->instance), QP240REMOTE_OK);
    SetTimer(host->messageWindow, TIMER_STATUS, 1000, NULL);
    SetTimer(host->messageWindow, TIMER_NO_KEYPAD, NO_KEYPAD_MS, NULL);
    while (GetMessageA(&message, NULL, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    KillTimer(host->messageWindow, TIMER_STATUS);
    Expect(host, "QP240REMOTE_GetDriverStatus", QP240REMOTE_GetDriverStatus(host->instance),
           host->connected ? QP240REMOTE_DRIVER_CONNECTED : QP240REMOTE_DRIVER_DETECTING);
    if (!host->connected)
        host->ok = 0;
}

int main(int argc, char** argv) {
    static Host host;
    host.ok = 1;
    host.runMs = 1000u * (UINT)(argc > 1 ? atoi(argv[1]) : 20);
    if (host.runMs == 0) {
        fprintf(stderr, "usage: %s [seconds]\n", argv[0]);
        return 2;
    }
    Run(&host);
    Finish(&host);
    return host.ok ? 0 : 1;
}
