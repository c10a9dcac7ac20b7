#include "tools/host_simulator/callback_log.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <windows.h>

#include "include/qp240_remote.h"
#include "tools/host_simulator/keypad_families.h"

const char* HostCodeMeaning(int32_t code) {
    switch (code) {
        case QP240REMOTE_CODE_WORKER_BEGINS:
            return "worker begins";
        case QP240REMOTE_CODE_WORKER_ENDS:
            return "worker ends";
        case QP240REMOTE_CODE_CONNECTED:
            return "keypad connected";
        case QP240REMOTE_CODE_NO_KEYPAD:
            return "no keypad";
        case QP240REMOTE_CODE_OFFER_KEYPAD:
            return "offer keypad";
        case QP240REMOTE_CODE_CLOSE_KEYPAD:
            return "close keypad";
        case QP240REMOTE_CODE_FILL_STATUS:
            return "fill host status";
        case QP240REMOTE_CODE_MIDI_BYTES:
            return "MIDI";
        case QP240REMOTE_CODE_PAD_PRESSED:
            return "pad pressed";
        case QP240REMOTE_CODE_PAD_RELEASED:
            return "pad released";
        case QP240REMOTE_CODE_STOP_ALL_PADS:
            return "StopAllPads";
        case QP240REMOTE_CODE_STOP_ALL_PLISTS:
            return "StopAllPlists";
    }
    return "unknown code";
}

// Appends to a bounded buffer; `used` never passes size - 1.
static void Append(char* out, size_t size, size_t* used, const char* format, ...)
    KOLMAR_PRINTF_FORMAT(4, 5);
static void Append(char* out, size_t size, size_t* used, const char* format, ...) {
    if (*used + 1 >= size)
        return;
    va_list args;
    va_start(args, format);
    const int written = std::vsnprintf(out + *used, size - *used, format, args);
    va_end(args);
    if (written > 0)
        *used += static_cast<size_t>(written) < size - *used ? static_cast<size_t>(written)
                                                             : size - *used - 1;
}

void DescribeMidi(char* out, size_t size, const uint8_t* bytes, int32_t count) {
    size_t used = 0;
    out[0] = '\0';
    if (bytes == nullptr || count <= 0) {
        Append(out, size, &used, "(no bytes)");
        return;
    }
    int32_t i = 0;
    for (; i + 3 <= count; i += 3) {
        const uint8_t status = bytes[i];
        const char* kind = (status & 0xF0) == 0x90   ? "Note On"
                           : (status & 0xF0) == 0x80 ? "Note Off"
                                                     : nullptr;
        if (kind == nullptr)
            break;
        Append(out, size, &used, "%s%s ch %d note %u vel %u", i ? "; " : "", kind,
               (status & 0x0F) + 1, bytes[i + 1], bytes[i + 2]);
    }
    for (; i < count; ++i)
        Append(out, size, &used, "%s%02X", used ? " " : "", bytes[i]);
}

void DescribeCallback(char* out, size_t size, int32_t code, int32_t argument, const void* pointer) {
    size_t used = 0;
    out[0] = '\0';
    Append(out, size, &used, "callback %d %s", code, HostCodeMeaning(code));
    switch (code) {
        case QP240REMOTE_CODE_PAD_PRESSED:
        case QP240REMOTE_CODE_PAD_RELEASED:
            Append(out, size, &used, ": pad %d", argument);
            break;
        case QP240REMOTE_CODE_MIDI_BYTES: {
            char midi[512];
            DescribeMidi(midi, sizeof midi, static_cast<const uint8_t*>(pointer), argument);
            Append(out, size, &used, ": %s", midi);
            break;
        }
        case QP240REMOTE_CODE_OFFER_KEYPAD:
        case QP240REMOTE_CODE_CLOSE_KEYPAD:
            Append(out, size, &used, ": device %p", pointer);
            break;
        case QP240REMOTE_CODE_FILL_STATUS:
            Append(out, size, &used, ": %d bytes at %p", argument, pointer);
            break;
    }
}

// A text field of the block, which runs up to the next field; never read past
// it.
static void CopyField(char* out, size_t size, const uint8_t* block, size_t offset, size_t next) {
    const size_t length = strnlen(reinterpret_cast<const char*>(block + offset), next - offset);
    const size_t kept = length < size - 1 ? length : size - 1;
    std::memcpy(out, block + offset, kept);
    out[kept] = '\0';
}

void DescribePlugInformation(char* out, size_t size, const uint8_t* block, const char* fileName) {
    char model[QP240REMOTE_PLUG_DRIVER_KIND_OFFSET - QP240REMOTE_PLUG_MODEL_OFFSET + 1];
    char kind[QP240REMOTE_PLUG_MODULE_OFFSET - QP240REMOTE_PLUG_DRIVER_KIND_OFFSET + 1];
    char module[sizeof kind], guid[kBracedGuidSize];
    CopyField(model, sizeof model, block, QP240REMOTE_PLUG_MODEL_OFFSET,
              QP240REMOTE_PLUG_DRIVER_KIND_OFFSET);
    CopyField(kind, sizeof kind, block, QP240REMOTE_PLUG_DRIVER_KIND_OFFSET,
              QP240REMOTE_PLUG_MODULE_OFFSET);
    CopyField(module, sizeof module, block, QP240REMOTE_PLUG_MODULE_OFFSET,
              QP240REMOTE_PLUG_GUID_OFFSET);
    FormatGuid(block + QP240REMOTE_PLUG_GUID_OFFSET, guid);
    const uint32_t version = QP240REMOTE_PLUG_VERSION_WORD(block);
    // The 15-key DLL's export directory says KolmarKeys.dll, as the host
    // expects, while its file is Kolmar15Keys.dll.
    const size_t length = std::strlen(module);
    const bool sameName =
        _strnicmp(fileName, module, length) == 0 && _stricmp(fileName + length, ".dll") == 0;
    char note[160] = "";
    if (!sameName)
        std::snprintf(note, sizeof note,
                      " (the name inside the DLL, its export directory's; the file stays %s, "
                      "not to be renamed)",
                      fileName);
    std::snprintf(out, size,
                  "model \"%s\", driver kind \"%s\", module \"%s\"%s, GUID %s, version %u.%u.%u.%u",
                  model, kind, module, note, guid, version >> 24, (version >> 16) & 0xFF,
                  (version >> 8) & 0xFF, version & 0xFF);
}

static DWORD g_logStart;
static CRITICAL_SECTION g_logLock;
static bool g_logLockReady;

void LogStartClock() {
    if (!g_logLockReady) {
        InitializeCriticalSection(&g_logLock);
        g_logLockReady = true;
    }
    g_logStart = GetTickCount();
}

unsigned LogMilliseconds() {
    return static_cast<unsigned>(GetTickCount() - g_logStart);
}

void LogLine(const char* format, ...) {
    char text[1024];
    va_list args;
    va_start(args, format);
    std::vsnprintf(text, sizeof text, format, args);
    va_end(args);
    // Callbacks arrive on worker threads while the main thread reports calls;
    // one lock keeps every line whole.
    if (g_logLockReady)
        EnterCriticalSection(&g_logLock);
    std::printf("[%6u ms] %s\n", LogMilliseconds(), text);
    std::fflush(stdout);
    if (g_logLockReady)
        LeaveCriticalSection(&g_logLock);
}
