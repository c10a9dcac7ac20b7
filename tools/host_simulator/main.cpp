// The host simulator: plays the audio host against a Kolmar keypad driver DLL,
// plugs in simulated keypads, and prints every call it makes and every
// callback it receives.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "driver/host_callback.h"
#include "driver/variant_profile.h"
#include "tools/host_simulator/callback_log.h"
#include "tools/host_simulator/config_box_view.h"
#include "tools/host_simulator/deliverable.h"
#include "tools/host_simulator/device_listing.h"
#include "tools/host_simulator/heap_watch.h"
#include "tools/host_simulator/simulated_host.h"
#include "tools/host_simulator/simulated_keypads.h"
#include "tools/host_simulator/torture.h"

static constexpr uint32_t kDefaultStepDelayMs = 150;
static constexpr uint32_t kDefaultHoldMs = 300;
static constexpr uint32_t kDetectionPeriodMs = 1000;  // the drivers look once a second

// What the command line asked for.
struct SimulatorOptions {
    std::vector<std::string> dlls;  // none: both deliverables beside the simulator
    uint16_t model;                 // product id of the keypad to plug in; 0: the family's usual
    bool decoys;                    // plug in devices that must never be offered
    int32_t refusals;               // offers refused before one is accepted; -1: all
    std::vector<HostStep> script;   // empty: the built-in demonstration
    uint32_t nextDelayMs;           // delay of the next scripted step
    uint32_t holdMs;                // running time after the script
    bool listDevices;
    bool countAllocations;     // count the driver's heap allocations while connected
    const char* configBoxPng;  // show the box of the first DLL and save it here
    bool help;
};

// One row per option: the parsing, the usage text and nothing else refer to
// options by name, so a new option is one row and one function.
struct OptionRow {
    const char* name;
    const char* argument;  // shown in the usage text; null when the option takes none
    const char* help;
    bool (*apply)(SimulatorOptions* options, const char* argument);
};

static bool ParseNumber(const char* text, long low, long high, long* value) {
    char* end = nullptr;
    const long parsed = std::strtol(text, &end, 0);
    if (end == text || *end != '\0' || parsed < low || parsed > high)
        return false;
    *value = parsed;
    return true;
}

// "K" or "K@MS": a key index and, optionally, the delay before the step.
static bool AddKeyStep(SimulatorOptions* options, const char* text, HostStepKind kind) {
    char key[16] = {};
    const char* at = std::strchr(text, '@');
    const size_t length = at != nullptr ? static_cast<size_t>(at - text) : std::strlen(text);
    if (length == 0 || length >= sizeof key)
        return false;
    std::memcpy(key, text, length);
    long index = 0;
    long delay = options->nextDelayMs;
    if (!ParseNumber(key, 0, kMaxKeypadKeys - 1, &index) ||
        (at != nullptr && !ParseNumber(at + 1, 0, 600000, &delay)))
        return false;
    options->script.push_back(
        HostStep{kind, static_cast<int32_t>(index), static_cast<uint32_t>(delay)});
    options->nextDelayMs = kDefaultStepDelayMs;
    return true;
}

static bool ApplyHelp(SimulatorOptions* options, const char*) {
    options->help = true;
    return true;
}
static bool ApplyListDevices(SimulatorOptions* options, const char*) {
    options->listDevices = true;
    return true;
}
static bool ApplyCountAllocations(SimulatorOptions* options, const char*) {
    options->countAllocations = true;
    return true;
}
static bool ApplyConfigBox(SimulatorOptions* options, const char* path) {
    options->configBoxPng = path;
    return true;
}
static bool ApplyModel(SimulatorOptions* options, const char* text) {
    long product = 0;
    if (!ParseNumber(text, 1, 0xFFFF, &product))
        return false;
    options->model = static_cast<uint16_t>(product);
    return true;
}
static bool ApplyNoDecoys(SimulatorOptions* options, const char*) {
    options->decoys = false;
    return true;
}
static bool ApplyRefuse(SimulatorOptions* options, const char* text) {
    long count = 0;
    if (!ParseNumber(text, 0, 1000, &count))
        return false;
    options->refusals = static_cast<int32_t>(count);
    return true;
}
static bool ApplyRefuseAll(SimulatorOptions* options, const char*) {
    options->refusals = -1;
    return true;
}
static bool ApplyPress(SimulatorOptions* options, const char* text) {
    return AddKeyStep(options, text, kStepKeyDown);
}
static bool ApplyRelease(SimulatorOptions* options, const char* text) {
    return AddKeyStep(options, text, kStepKeyUp);
}
static bool ApplyTap(SimulatorOptions* options, const char* text) {
    if (!AddKeyStep(options, text, kStepKeyDown))
        return false;
    HostStep release = options->script.back();
    release.kind = kStepKeyUp;
    release.delayMs = kDefaultStepDelayMs;
    options->script.push_back(release);
    return true;
}
static void AddValueStep(SimulatorOptions* options, HostStepKind kind, int32_t value) {
    options->script.push_back(HostStep{kind, value, options->nextDelayMs});
    options->nextDelayMs = kDefaultStepDelayMs;
}
static bool ApplyMode(SimulatorOptions* options, const char* text) {
    if (std::strcmp(text, "pad") != 0 && std::strcmp(text, "midi") != 0)
        return false;
    AddValueStep(options, kStepKeyMode, std::strcmp(text, "midi") == 0 ? 1 : 0);
    return true;
}
static bool ApplyChannel(SimulatorOptions* options, const char* text) {
    long channel = 0;
    if (!ParseNumber(text, 1, 16, &channel))
        return false;
    AddValueStep(options, kStepChannel, static_cast<int32_t>(channel - 1));
    return true;
}
static bool ApplyBank(SimulatorOptions* options, const char* text) {
    long bank = 0;
    if (!ParseNumber(text, -100000, 100000, &bank))
        return false;
    AddValueStep(options, kStepPadBank, static_cast<int32_t>(bank));
    return true;
}
static bool ApplyStatus(SimulatorOptions* options, const char*) {
    AddValueStep(options, kStepStatusBlock, 0);
    return true;
}
static bool ApplyWait(SimulatorOptions* options, const char* text) {
    long delay = 0;
    if (!ParseNumber(text, 0, 600000, &delay))
        return false;
    options->nextDelayMs = static_cast<uint32_t>(delay);
    return true;
}
static bool ApplyHold(SimulatorOptions* options, const char* text) {
    long hold = 0;
    if (!ParseNumber(text, 0, 600000, &hold))
        return false;
    options->holdMs = static_cast<uint32_t>(hold);
    return true;
}

static const OptionRow kOptions[] = {
    {"--help", nullptr, "this text", ApplyHelp},
    {"--list-devices", nullptr,
     "print this system's real raw-input devices and which each DLL would take", ApplyListDevices},
    {"--model", "PID",
     "product id of the keypad to plug in: 0x8F 0x6C 0xBA (32 keys), 0x60 0x6D 0x80 0xA5 0xB9 "
     "(15 keys); default 0x6C / 0x6D",
     ApplyModel},
    {"--no-decoys", nullptr, "plug in only the keypad, none of the devices that must not match",
     ApplyNoDecoys},
    {"--refuse", "N", "refuse the first N offers, then accept (the driver offers once a second)",
     ApplyRefuse},
    {"--refuse-all", nullptr, "refuse every offer", ApplyRefuseAll},
    {"--press", "K[@MS]", "press key K (0-based), MS ms after the step before (default 150)",
     ApplyPress},
    {"--release", "K[@MS]", "release key K", ApplyRelease},
    {"--tap", "K[@MS]", "press key K and release it 150 ms later", ApplyTap},
    {"--mode", "pad|midi", "switch the key mode (the host's context call)", ApplyMode},
    {"--channel", "N", "switch to MIDI channel N, 1..16", ApplyChannel},
    {"--bank", "N", "switch to PadBank N", ApplyBank},
    {"--status", nullptr, "hand the driver a new status block (id 56)", ApplyStatus},
    {"--wait", "MS", "delay of the next step", ApplyWait},
    {"--hold", "MS", "keep running this long after the last step (default 300)", ApplyHold},
    {"--count-allocations", nullptr,
     "count the driver's heap allocations while the keypad is connected (there should be none)",
     ApplyCountAllocations},
    {"--config-box", "PNG",
     "open the configuration box of the first DLL (default Kolmar32Keys.dll) in a host window, "
     "click its fields and save the box as PNG",
     ApplyConfigBox},
};

static void PrintUsage(FILE* out) {
    std::fputs("usage: host_simulator [options] [DLL ...]\n"
               "\n"
               "Plays the host of a Kolmar keypad driver: loads each DLL by path, prints its\n"
               "plug information, plugs in a simulated keypad (and decoys), starts an instance,\n"
               "accepts the offered keypad and reads it, running the scripted key presses and\n"
               "context changes; every call and callback is printed with milliseconds since\n"
               "the start. Steps run in the order given, once the keypad is open.\n"
               "\n"
               "With no DLL named: Kolmar32Keys.dll and Kolmar15Keys.dll beside the simulator.\n"
               "With no steps: a demonstration in the pad protocol, then in MIDI.\n"
               "\n",
               out);
    for (const OptionRow& row : kOptions) {
        char left[40];
        std::snprintf(left, sizeof left, "%s%s%s", row.name, row.argument ? " " : "",
                      row.argument ? row.argument : "");
        std::fprintf(out, "  %-18s %s\n", left, row.help);
    }
}

// Returns 0 when parsed, else the exit code (2) after an explanation.
static int ParseOptions(int argc, char** argv, SimulatorOptions* options) {
    for (int i = 1; i < argc; ++i) {
        const char* word = argv[i];
        if (word[0] != '-') {
            options->dlls.push_back(word);
            continue;
        }
        const OptionRow* row = nullptr;
        for (const OptionRow& candidate : kOptions)
            if (std::strcmp(word, candidate.name) == 0)
                row = &candidate;
        if (row == nullptr && std::strcmp(word, "-h") == 0)
            row = &kOptions[0];
        if (row == nullptr) {
            std::fprintf(stderr, "host_simulator: unknown option %s\n\n", word);
            PrintUsage(stderr);
            return 2;
        }
        const char* argument = nullptr;
        if (row->argument != nullptr) {
            if (i + 1 >= argc) {
                std::fprintf(stderr, "host_simulator: %s needs %s\n", word, row->argument);
                return 2;
            }
            argument = argv[++i];
        }
        if (!row->apply(options, argument)) {
            std::fprintf(stderr, "host_simulator: %s: bad value \"%s\"\n", word,
                         argument ? argument : "");
            return 2;
        }
    }
    return 0;
}

// Pad protocol, then MIDI, for a family whose command keys are `stopAllPads`
// and `stopAllPads + 1`.
static std::vector<HostStep> DemonstrationScript(int32_t stopAllPads) {
    const uint32_t d = kDefaultStepDelayMs;
    return {
        {kStepStatusBlock, 0, 50},
        {kStepKeyDown, 3, d},
        {kStepKeyUp, 3, d},
        {kStepKeyDown, 4, d},
        {kStepKeyUp, 4, d},
        {kStepKeyDown, stopAllPads, d},
        {kStepKeyUp, stopAllPads, d},
        {kStepKeyMode, 1, d},
        {kStepKeyDown, 3, d},
        {kStepKeyUp, 3, d},
        {kStepChannel, 9, d},
        {kStepPadBank, 1, 0},
        {kStepKeyDown, 3, d},
        {kStepKeyUp, 3, d},
        {kStepKeyDown, stopAllPads + 1, d},
        {kStepKeyUp, stopAllPads + 1, d},
    };
}

static const char* FileName(const char* path) {
    const char* name = path;
    for (const char* p = path; *p != '\0'; ++p)
        if (*p == '\\' || *p == '/')
            name = p + 1;
    return name;
}

// The deliverable's family, read from its plug information's GUID.
static const VariantProfile* FamilyOf(const uint8_t* plugInformation) {
    static const VariantProfile* const kFamilies[] = {&kProfile32Keys, &kProfile15Keys};
    for (const VariantProfile* family : kFamilies)
        if (std::memcmp(plugInformation + 0x620, family->guid, sizeof family->guid) == 0)
            return family;
    return nullptr;
}

static void Plug(const SimulatedDevice& device) {
    const HANDLE handle = SimulatedDevicePlug(device);
    LogLine("plugged in %p: %s, %s vendor 0x%04X product 0x%04X usage %04X:%04X", handle,
            device.description,
            device.type == RIM_TYPEHID        ? "HID"
            : device.type == RIM_TYPEKEYBOARD ? "keyboard"
                                              : "mouse",
            device.vendorId, device.productId, device.usagePage, device.usage);
}

// The keypad of the run, and, when asked, the devices no driver may take:
// the family's product with usage 0x0002 and from another vendor, the other
// family's keypad, a keyboard and a mouse. The decoys come first in the list.
static void PlugDevices(const SimulatorOptions& options, const VariantProfile& family,
                        uint16_t model) {
    if (options.decoys) {
        const VariantProfile& other = &family == &kProfile32Keys ? kProfile15Keys : kProfile32Keys;
        SimulatedDevice otherFamily = KeypadDevice(other.productIds[0]);
        otherFamily.description = "decoy: the other family's keypad";
        Plug(DecoyMouse());
        Plug(DecoyKeyboard());
        Plug(DecoyWrongUsage(model));
        Plug(DecoyOtherVendor(model));
        Plug(otherFamily);
    }
    Plug(KeypadDevice(model));
}

static uint32_t ScriptLength(const std::vector<HostStep>& script) {
    uint32_t total = 0;
    for (const HostStep& step : script)
        total += step.delayMs;
    return total;
}

// One run of the host with one deliverable: plug in, start, read the keypad
// through the script, stop and destroy.
static int RunHost(const char* path, const SimulatorOptions& options) {
    char error[512];
    Deliverable driver;
    if (!DeliverableLoad(&driver, path, error, sizeof error)) {
        std::fprintf(stderr, "host_simulator: %s\n", error);
        return 1;
    }
    const char* label = FileName(path);
    std::printf("\n== %s ==\n", label);

    uint8_t block[1676];
    char architecture[43];
    char text[1024];
    if (driver.GetPlugInformation(0, architecture) == 0 && architecture[42] == '\0')
        LogLine("architecture: \"%s\"", architecture);
    if (driver.GetPlugInformation(1, block) != 0) {
        std::fprintf(stderr, "host_simulator: %s gives no plug information\n", label);
        DeliverableUnload(&driver);
        return 1;
    }
    DescribePlugInformation(text, sizeof text, block);
    LogLine("plug information: %s", text);
    const VariantProfile* family = FamilyOf(block);
    if (family == nullptr)
        family = &kProfile32Keys;
    const uint16_t model = options.model != 0 ? options.model : family->productIds[1];
    PlugDevices(options, *family, model);

    SimulatedHost host;
    SimulatedHostInit(&host, &driver, label);
    host.print = true;
    host.refusals = options.refusals;
    const std::vector<HostStep> script =
        options.script.empty() ? DemonstrationScript(family->stopAllPadsKey) : options.script;

    LogLine("QP240REMOTE_Init -> %d", driver.Init(driver.module));
    void* instance = SimulatedHostCreate(&host);
    LogLine("QP240REMOTE_Create -> %s", instance != nullptr ? "instance" : "null");
    int result = 0;
    if (instance != nullptr) {
        SimulatedHostRunScript(&host, script);
        LogLine("QP240REMOTE_Start -> %d", driver.Start(instance));
        const uint32_t offers = options.refusals < 0 ? 2 : static_cast<uint32_t>(options.refusals);
        if (SimulatedHostWaitFor(&host, kHostConnected, 1,
                                 (offers + 1) * kDetectionPeriodMs + 800)) {
            LogLine("QP240REMOTE_GetDriverStatus -> %d", driver.GetDriverStatus(instance));
            const bool counting = options.countAllocations && HeapWatchInstall(driver.module);
            HeapWatchResetCount();
            HeapWatchArm(counting);
            SimulatedHostWaitScript(&host, ScriptLength(script) + 5000);
            Sleep(options.holdMs);
            HeapWatchArm(false);
            if (counting)
                LogLine("heap allocations by the driver while connected: %d",
                        HeapWatchAllocations());
        } else {
            LogLine("no keypad connected");
            Sleep(options.holdMs);
        }
        LogLine("QP240REMOTE_Stop -> %d", driver.Stop(instance));
        LogLine("QP240REMOTE_Destroy -> %d", driver.Destroy(instance));
    } else {
        LogLine("last error: \"%s\"", driver.GetLastErrorString());
        result = 1;
    }
    LogLine("QP240REMOTE_End -> %d", driver.End());
    SimulatedHostFree(&host);
    SimulatedDevicesUnplugAll();
    DeliverableUnload(&driver);
    return result;
}

int main(int argc, char** argv) {
    if (argc >= 2 && std::strcmp(argv[1], "--torture") == 0)
        return TortureMain(argc - 2, argv + 2);
    SimulatorOptions options = {};
    options.decoys = true;
    options.nextDelayMs = kDefaultStepDelayMs;
    options.holdMs = kDefaultHoldMs;
    if (const int status = ParseOptions(argc, argv, &options))
        return status;
    if (options.help) {
        PrintUsage(stdout);
        return 0;
    }
    if (options.listDevices)
        return ListRawInputDevices();
    if (options.configBoxPng != nullptr)
        return RunConfigBoxView(options.configBoxPng,
                                options.dlls.empty() ? nullptr : options.dlls[0].c_str());

    // A real GUI host has user32 loaded before it loads a driver; the
    // simulated keypads take the place of the system's devices.
    char error[256];
    if (!SimulatedKeypadsInstall(error, sizeof error)) {
        std::fprintf(stderr, "host_simulator: %s\n", error);
        return 1;
    }
    LogStartClock();

    if (options.dlls.empty()) {
        char directory[MAX_PATH];
        ProgramDirectory(directory, sizeof directory);
        for (const char* name : {"Kolmar32Keys.dll", "Kolmar15Keys.dll"})
            options.dlls.push_back(std::string(directory) + name);
    }
    int failures = 0;
    for (const std::string& path : options.dlls)
        failures += RunHost(path.c_str(), options);
    return failures == 0 ? 0 : 1;
}
