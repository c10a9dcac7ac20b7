// The host simulator: plays the audio host against a Kolmar keypad driver DLL,
// plugs in simulated keypads, and prints every call it makes and every
// callback it receives.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "driver/host_callback.h"
#include "driver/plug_information.h"
#include "driver/variant_profile.h"
#include "tools/host_simulator/callback_log.h"
#include "tools/host_simulator/config_box_view.h"
#include "tools/host_simulator/deliverable.h"
#include "tools/host_simulator/device_listing.h"
#include "tools/host_simulator/heap_watch.h"
#include "tools/host_simulator/simulated_host.h"
#include "tools/host_simulator/simulated_keypads.h"
#include "tools/host_simulator/stored_settings.h"
#include "tools/host_simulator/torture.h"

static constexpr uint32_t kDefaultStepDelayMs = 150;
static constexpr uint32_t kDefaultHoldMs = 300;
static constexpr uint32_t kDetectionPeriodMs = 1000;  // the drivers look once a second
static constexpr long kLongestDelayMs = 600000;

// What the simulator does; each option names the modes that take it.
enum SimulatorMode : uint32_t {
    kModeRun = 1,          // load DLLs, plug in keypads, run the script
    kModeListDevices = 2,  // --list-devices
    kModeConfigBox = 4,    // --config-box
    kModeTorture = 8,      // --torture
};

struct OptionRow;

// What the command line asked for.
struct SimulatorOptions {
    std::vector<std::string> dlls;  // none: both deliverables beside the simulator
    uint16_t model;                 // product id of the keypad to plug in; 0: the family's usual
    bool decoys;                    // plug in devices that must never be offered
    int32_t refusals;               // offers refused before one is accepted; -1: all
    std::vector<HostStep> script;   // empty: the built-in demonstration
    std::vector<std::string> stepOptions;  // the option and value behind each step
    uint32_t nextDelayMs;                  // delay of the next scripted step
    const char* pendingWait;               // a --wait no step has taken yet
    uint32_t holdMs;                       // running time after the script
    bool countAllocations;                 // count the driver's heap allocations while connected
    const char* configBoxPng;              // show the box of the DLL and save it here
    uint32_t tortureSeconds;               // how long --torture drives each DLL
    uint32_t mode;                         // a SimulatorMode
    std::vector<const OptionRow*> given;   // every option on the command line, in order
};

// Why an option's value was refused, for the line that names the option.
struct Refusal {
    char text[240];
};

// One row per option: the parsing, the usage text and the mode check refer to
// options by name, so a new option is one row and one function.
struct OptionRow {
    const char* name;
    const char* argument;  // shown in the usage text; null when the option takes none
    const char* help;
    bool (*apply)(SimulatorOptions* options, const char* argument, Refusal* refusal);
    uint32_t modes;  // the SimulatorModes that take it; 0 stands for kModeRun alone
};

static bool ParseNumber(const char* text, long low, long high, long* value, Refusal* refusal) {
    char* end = nullptr;
    const long parsed = std::strtol(text, &end, 0);
    if (end == text || *end != '\0') {
        std::snprintf(refusal->text, sizeof refusal->text, "\"%s\" is not a number (%ld..%ld)",
                      text, low, high);
        return false;
    }
    if (parsed < low || parsed > high) {
        std::snprintf(refusal->text, sizeof refusal->text, "%s is out of range %ld..%ld", text, low,
                      high);
        return false;
    }
    *value = parsed;
    return true;
}

// "0x008F 0x006C 0x00BA": the products a family takes.
static std::string ProductList(const VariantProfile& family) {
    std::string list;
    for (int32_t i = 0; i < family.productIdCount; ++i) {
        char id[8];
        std::snprintf(id, sizeof id, "%s0x%04X", i == 0 ? "" : " ", family.productIds[i]);
        list += id;
    }
    return list;
}

static const VariantProfile* FamilyOfProduct(uint16_t product) {
    for (const VariantProfile* family : kFamilies)
        for (int32_t i = 0; i < family->productIdCount; ++i)
            if (family->productIds[i] == product)
                return family;
    return nullptr;
}

static void AddStep(SimulatorOptions* options, HostStep step, const char* option,
                    const char* argument) {
    options->script.push_back(step);
    options->stepOptions.push_back(std::string(option) + (*argument != '\0' ? " " : "") + argument);
    options->nextDelayMs = kDefaultStepDelayMs;
    options->pendingWait = nullptr;
}

// "K" or "K@MS": a key index and, optionally, the delay before the step. Keys
// are checked against the loaded DLL's key count once it is known.
static bool AddKeyStep(SimulatorOptions* options, const char* option, const char* text,
                       HostStepKind kind, Refusal* refusal) {
    char key[16] = {};
    const char* at = std::strchr(text, '@');
    const size_t length = at != nullptr ? static_cast<size_t>(at - text) : std::strlen(text);
    std::memcpy(key, text, length < sizeof key ? length : sizeof key - 1);
    long index = 0;
    long delay = options->nextDelayMs;
    if (!ParseNumber(key, 0, kMaxKeypadKeys - 1, &index, refusal) ||
        (at != nullptr && !ParseNumber(at + 1, 0, kLongestDelayMs, &delay, refusal))) {
        return false;
    }
    AddStep(options, HostStep{kind, static_cast<int32_t>(index), static_cast<uint32_t>(delay)},
            option, text);
    return true;
}

static bool ApplyListDevices(SimulatorOptions* options, const char*, Refusal*) {
    options->mode = kModeListDevices;
    return true;
}
static bool ApplyCountAllocations(SimulatorOptions* options, const char*, Refusal*) {
    options->countAllocations = true;
    return true;
}
static bool ApplyConfigBox(SimulatorOptions* options, const char* path, Refusal*) {
    options->configBoxPng = path;
    options->mode = kModeConfigBox;
    return true;
}
static bool ApplyTorture(SimulatorOptions* options, const char* text, Refusal* refusal) {
    long seconds = 0;
    if (!ParseNumber(text, 1, 86400, &seconds, refusal))
        return false;
    options->tortureSeconds = static_cast<uint32_t>(seconds);
    options->mode = kModeTorture;
    return true;
}
static bool ApplyModel(SimulatorOptions* options, const char* text, Refusal* refusal) {
    long product = 0;
    if (!ParseNumber(text, 1, 0xFFFF, &product, refusal))
        return false;
    if (FamilyOfProduct(static_cast<uint16_t>(product)) == nullptr) {
        std::snprintf(refusal->text, sizeof refusal->text,
                      "0x%04lX is no keypad of these drivers: %s.dll takes %s, %s.dll takes %s",
                      product, kProfile32Keys.deliverableName, ProductList(kProfile32Keys).c_str(),
                      kProfile15Keys.deliverableName, ProductList(kProfile15Keys).c_str());
        return false;
    }
    options->model = static_cast<uint16_t>(product);
    return true;
}
static bool ApplyNoDecoys(SimulatorOptions* options, const char*, Refusal*) {
    options->decoys = false;
    return true;
}
static bool ApplyRefuse(SimulatorOptions* options, const char* text, Refusal* refusal) {
    long count = 0;
    if (!ParseNumber(text, 0, 1000, &count, refusal))
        return false;
    options->refusals = static_cast<int32_t>(count);
    return true;
}
static bool ApplyRefuseAll(SimulatorOptions* options, const char*, Refusal*) {
    options->refusals = -1;
    return true;
}
static bool ApplyPress(SimulatorOptions* options, const char* text, Refusal* refusal) {
    return AddKeyStep(options, "--press", text, kStepKeyDown, refusal);
}
static bool ApplyRelease(SimulatorOptions* options, const char* text, Refusal* refusal) {
    return AddKeyStep(options, "--release", text, kStepKeyUp, refusal);
}
static bool ApplyTap(SimulatorOptions* options, const char* text, Refusal* refusal) {
    if (!AddKeyStep(options, "--tap", text, kStepKeyDown, refusal))
        return false;
    HostStep release = options->script.back();
    release.kind = kStepKeyUp;
    release.delayMs = kDefaultStepDelayMs;
    AddStep(options, release, "--tap", text);
    return true;
}
static void AddValueStep(SimulatorOptions* options, HostStepKind kind, int32_t value,
                         const char* option, const char* text) {
    AddStep(options, HostStep{kind, value, options->nextDelayMs}, option, text);
}
static bool ApplyMode(SimulatorOptions* options, const char* text, Refusal* refusal) {
    if (std::strcmp(text, "pad") != 0 && std::strcmp(text, "midi") != 0) {
        std::snprintf(refusal->text, sizeof refusal->text, "\"%s\" is neither pad nor midi", text);
        return false;
    }
    AddValueStep(options, kStepKeyMode, std::strcmp(text, "midi") == 0 ? 1 : 0, "--mode", text);
    return true;
}
static bool ApplyChannel(SimulatorOptions* options, const char* text, Refusal* refusal) {
    long channel = 0;
    if (!ParseNumber(text, 1, 16, &channel, refusal))
        return false;
    AddValueStep(options, kStepChannel, static_cast<int32_t>(channel - 1), "--channel", text);
    return true;
}
static bool ApplyBank(SimulatorOptions* options, const char* text, Refusal* refusal) {
    long bank = 0;
    if (!ParseNumber(text, -100000, 100000, &bank, refusal))
        return false;
    AddValueStep(options, kStepPadBank, static_cast<int32_t>(bank), "--bank", text);
    return true;
}
static bool ApplyStatus(SimulatorOptions* options, const char*, Refusal*) {
    AddValueStep(options, kStepStatusBlock, 0, "--status", "");
    return true;
}
static bool ApplyWait(SimulatorOptions* options, const char* text, Refusal* refusal) {
    long delay = 0;
    if (!ParseNumber(text, 0, kLongestDelayMs, &delay, refusal))
        return false;
    options->nextDelayMs = static_cast<uint32_t>(delay);
    options->pendingWait = text;
    return true;
}
static bool ApplyHold(SimulatorOptions* options, const char* text, Refusal* refusal) {
    long hold = 0;
    if (!ParseNumber(text, 0, kLongestDelayMs, &hold, refusal))
        return false;
    options->holdMs = static_cast<uint32_t>(hold);
    return true;
}

static const OptionRow kOptions[] = {
    {"--list-devices", nullptr,
     "print this system's real raw-input devices and which each DLL would take; takes no other "
     "option",
     ApplyListDevices, kModeListDevices},
    {"--model", "PID",
     "product id of the keypad to plug in, one of the models listed below (default: the second "
     "of its DLL's list); with no DLL named, only the DLL that takes it runs",
     ApplyModel, kModeRun},
    {"--no-decoys", nullptr, "plug in only the keypad, none of the devices that must not match",
     ApplyNoDecoys, kModeRun},
    {"--refuse", "N",
     "refuse the first N offers (0..1000), then accept; the driver offers once "
     "a second",
     ApplyRefuse, kModeRun},
    {"--refuse-all", nullptr, "refuse every offer", ApplyRefuseAll, kModeRun},
    {"--press", "K[@MS]",
     "press key K (0-based, below the DLL's key count), MS ms after the step before (default "
     "150)",
     ApplyPress, kModeRun},
    {"--release", "K[@MS]", "release key K", ApplyRelease, kModeRun},
    {"--tap", "K[@MS]", "press key K and release it 150 ms later", ApplyTap, kModeRun},
    {"--mode", "pad|midi", "switch the key mode (the host's context call)", ApplyMode, kModeRun},
    {"--channel", "N", "switch to MIDI channel N, 1..16", ApplyChannel, kModeRun},
    {"--bank", "N", "switch to PadBank N; MIDI notes are 64 + PadBank x stride + key", ApplyBank,
     kModeRun},
    {"--status", nullptr, "hand the driver a new status block (id 56)", ApplyStatus, kModeRun},
    {"--wait", "MS", "delay of the next step", ApplyWait, kModeRun},
    {"--hold", "MS", "keep running this long after the last step (default 300)", ApplyHold,
     kModeRun},
    {"--count-allocations", nullptr,
     "count the driver's heap allocations while the keypad is connected (there should be none)",
     ApplyCountAllocations, kModeRun},
    {"--config-box", "PNG",
     "open the configuration box of one DLL (default Kolmar32Keys.dll) in a host window, click "
     "its fields and save the box as PNG; takes no other option",
     ApplyConfigBox, kModeConfigBox},
    {"--torture", "SECONDS",
     "drive each DLL for SECONDS (1..86400) from several host threads at once with random calls "
     "of every export, check what a host relies on and print a summary; takes no other option",
     ApplyTorture, kModeTorture},
};

static constexpr int kUsageWidth = 79;
static constexpr int kHelpColumn = 22;

// Writes `text` from column `column` on, broken at spaces before kUsageWidth;
// continuation lines start at `column` too.
static void PrintWrapped(FILE* out, int column, const char* text) {
    int at = column;
    while (*text != '\0') {
        const char* space = std::strchr(text, ' ');
        const int word =
            space != nullptr ? static_cast<int>(space - text) : static_cast<int>(std::strlen(text));
        if (at > column && at + 1 + word > kUsageWidth) {
            std::fprintf(out, "\n%*s", column, "");
            at = column;
        } else if (at > column) {
            std::fputc(' ', out);
            ++at;
        }
        std::fwrite(text, 1, static_cast<size_t>(word), out);
        at += word;
        text += word;
        while (*text == ' ')
            ++text;
    }
    std::fputc('\n', out);
}

static void PrintUsage(FILE* out) {
    std::fputs("usage: host_simulator [options] [DLL ...]\n"
               "\n"
               "Plays the host of a Kolmar keypad driver: loads each DLL by path, prints its\n"
               "plug information, plugs in a simulated keypad (and decoys), starts an instance,\n"
               "accepts the offered keypad and reads it, running the scripted key presses and\n"
               "context changes; every call and callback is printed with milliseconds since\n"
               "the start. Steps run in the order given, once the keypad is open. The key\n"
               "mode and channel stored for the current user are left as they were found.\n"
               "\n"
               "With no DLL named: Kolmar32Keys.dll and Kolmar15Keys.dll beside the simulator.\n"
               "With no steps: a demonstration in the pad protocol, then in MIDI.\n"
               "\n"
               "Options:\n",
               out);
    for (const OptionRow& row : kOptions) {
        char left[40];
        const int width = std::snprintf(left, sizeof left, "  %s%s%s", row.name,
                                        row.argument ? " " : "", row.argument ? row.argument : "");
        std::fputs(left, out);
        if (width + 1 > kHelpColumn)
            std::fprintf(out, "\n%*s", kHelpColumn, "");
        else
            std::fprintf(out, "%*s", kHelpColumn - width, "");
        PrintWrapped(out, kHelpColumn, row.help);
    }
    std::fprintf(out, "  %-*s", kHelpColumn - 2, "--help");
    PrintWrapped(out, kHelpColumn, "this text");
    std::fputs("\nKeypad models (--model):\n", out);
    for (const VariantProfile* family : kFamilies)
        std::fprintf(out, "  %s.dll (%d keys): %s\n", family->deliverableName, family->keyCount,
                     ProductList(*family).c_str());
}

static bool IsHelp(const char* word) {
    return std::strcmp(word, "--help") == 0 || std::strcmp(word, "-h") == 0;
}

// The option that chooses `mode`: the one row whose modes are that mode alone.
static const char* ModeOption(uint32_t mode) {
    for (const OptionRow& row : kOptions)
        if (row.modes == mode)
            return row.name;
    return "";
}

// After parsing: refuse what the chosen mode would leave unused. Returns
// false after saying why.
static bool CheckMode(const SimulatorOptions& options) {
    for (const OptionRow* row : options.given) {
        const uint32_t modes = row->modes != 0 ? row->modes : kModeRun;
        if ((modes & options.mode) != 0)
            continue;
        std::fprintf(stderr, "host_simulator: %s takes no other option; %s would be unused\n",
                     ModeOption(options.mode), row->name);
        return false;
    }
    size_t dllsTaken = SIZE_MAX;
    if (options.mode == kModeListDevices)
        dllsTaken = 0;
    else if (options.mode == kModeConfigBox)
        dllsTaken = 1;
    if (options.dlls.size() > dllsTaken) {
        std::fprintf(stderr, "host_simulator: %s takes %s DLL; %s would be unused\n",
                     ModeOption(options.mode), dllsTaken == 0 ? "no" : "one",
                     options.dlls.back().c_str());
        return false;
    }
    if (options.refusals < 0 && !options.script.empty()) {
        std::fprintf(stderr,
                     "host_simulator: --refuse-all opens no keypad, so %s would never run\n",
                     options.stepOptions[0].c_str());
        return false;
    }
    if (options.pendingWait != nullptr) {
        std::fprintf(stderr, "host_simulator: --wait %s: no step follows to be delayed\n",
                     options.pendingWait);
        return false;
    }
    return true;
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
        if (row == nullptr) {
            std::fprintf(stderr,
                         "host_simulator: unknown option %s (host_simulator --help lists them)\n",
                         word);
            return 2;
        }
        const char* argument = nullptr;
        if (row->argument != nullptr) {
            if (i + 1 >= argc) {
                std::fprintf(stderr, "host_simulator: %s needs a value: %s\n", word, row->argument);
                return 2;
            }
            argument = argv[++i];
        }
        const uint32_t modeBefore = options->mode;
        Refusal refusal = {};
        if (!row->apply(options, argument, &refusal)) {
            std::fprintf(stderr, "host_simulator: %s: %s\n", word, refusal.text);
            return 2;
        }
        if (modeBefore != kModeRun && options->mode != modeBefore) {
            std::fprintf(stderr, "host_simulator: %s and %s do not go together\n",
                         ModeOption(modeBefore), word);
            return 2;
        }
        options->given.push_back(row);
    }
    return CheckMode(*options) ? 0 : 2;
}

// From the pad protocol on channel 1, whatever the user had stored, then
// MIDI, for a family whose command keys are `stopAllPads` and `stopAllPads + 1`.
static std::vector<HostStep> DemonstrationScript(int32_t stopAllPads) {
    const uint32_t d = kDefaultStepDelayMs;
    return {
        {kStepKeyMode, 0, 50},
        {kStepChannel, 0, 0},
        {kStepStatusBlock, 0, 0},
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

// A DLL to run and its family, known before any run starts.
struct PlannedRun {
    std::string path;
    const VariantProfile* family;
};

// The family of the DLL at `path`, from its plug information; null after
// saying why there is none.
static const VariantProfile* ReadFamily(const char* path) {
    char error[512];
    Deliverable driver;
    if (!DeliverableLoad(&driver, path, error, sizeof error)) {
        std::fprintf(stderr, "host_simulator: %s\n", error);
        return nullptr;
    }
    const VariantProfile* family = DeliverableFamily(driver);
    if (family == nullptr)
        std::fprintf(stderr, "host_simulator: %s is no Kolmar keypad driver\n", path);
    DeliverableUnload(&driver);
    return family;
}

// Loads each DLL once to learn its family, and refuses a model or a key the
// DLL cannot take before anything runs. Returns 0, or the exit code after
// saying why.
static int PlanRuns(const SimulatorOptions& options, std::vector<PlannedRun>* runs) {
    std::vector<std::string> paths = options.dlls;
    const VariantProfile* modelFamily = FamilyOfProduct(options.model);
    if (paths.empty()) {
        for (const VariantProfile* family : kFamilies)
            if (modelFamily == nullptr || modelFamily == family)
                paths.push_back(DeliverablePath(*family));
    }
    for (const std::string& path : paths) {
        const VariantProfile* family = ReadFamily(path.c_str());
        if (family == nullptr)
            return 1;
        const char* name = PathFileName(path.c_str());
        if (modelFamily != nullptr && modelFamily != family) {
            std::fprintf(stderr,
                         "host_simulator: --model 0x%04X is a %d-key keypad: %s.dll takes it; "
                         "%s takes %s\n",
                         options.model, modelFamily->keyCount, modelFamily->deliverableName, name,
                         ProductList(*family).c_str());
            return 2;
        }
        for (size_t i = 0; i < options.script.size(); ++i) {
            const HostStep& step = options.script[i];
            if ((step.kind == kStepKeyDown || step.kind == kStepKeyUp) &&
                step.value >= family->keyCount) {
                std::fprintf(stderr, "host_simulator: %s: key %d is out of range 0..%d of %s\n",
                             options.stepOptions[i].c_str(), step.value, family->keyCount - 1,
                             name);
                return 2;
            }
        }
        runs->push_back(PlannedRun{path, family});
    }
    return 0;
}

// One run of the host with one deliverable: plug in, start, read the keypad
// through the script, stop and destroy.
static int RunHost(const PlannedRun& run, const SimulatorOptions& options) {
    char error[512];
    Deliverable driver;
    if (!DeliverableLoad(&driver, run.path.c_str(), error, sizeof error)) {
        std::fprintf(stderr, "host_simulator: %s\n", error);
        return 1;
    }
    const char* label = PathFileName(run.path.c_str());
    std::printf("== %s ==\n", label);

    uint8_t block[kPlugInformationSize];
    char architecture[kArchitectureTextSize];
    char text[1024];
    if (driver.GetPlugInformation(0, architecture) == 0 &&
        architecture[kArchitectureTextSize - 1] == '\0')
        LogLine("architecture: \"%s\"", architecture);
    driver.GetPlugInformation(1, block);
    DescribePlugInformation(text, sizeof text, block);
    LogLine("plug information: %s", text);
    const VariantProfile& family = *run.family;
    const uint16_t model = options.model != 0 ? options.model : family.productIds[1];
    PlugDevices(options, family, model);

    SimulatedHost host;
    SimulatedHostInit(&host, &driver, label);
    host.print = true;
    host.refusals = options.refusals;
    const std::vector<HostStep> script =
        options.script.empty() ? DemonstrationScript(family.stopAllPadsKey) : options.script;

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

// The script run: every DLL in turn, each with its own simulated keypads.
static int RunScript(const SimulatorOptions& options) {
    std::vector<PlannedRun> runs;
    if (const int status = PlanRuns(options, &runs))
        return status;
    // A real GUI host has user32 loaded before it loads a driver; the
    // simulated keypads take the place of the system's devices.
    char error[256];
    if (!SimulatedKeypadsInstall(error, sizeof error)) {
        std::fprintf(stderr, "host_simulator: %s\n", error);
        return 1;
    }
    LogStartClock();
    int failures = 0;
    for (size_t i = 0; i < runs.size(); ++i) {
        if (i > 0)
            std::printf("\n");
        failures += RunHost(runs[i], options);
    }
    return failures == 0 ? 0 : 1;
}

static int RunMode(const SimulatorOptions& options) {
    switch (options.mode) {
        case kModeListDevices:
            return ListRawInputDevices();
        case kModeConfigBox:
            return RunConfigBoxView(options.configBoxPng,
                                    options.dlls.empty() ? nullptr : options.dlls[0].c_str());
        case kModeTorture:
            return TortureRun(options.tortureSeconds, options.dlls);
    }
    return RunScript(options);
}

int main(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        if (IsHelp(argv[i])) {
            PrintUsage(stdout);
            return 0;
        }
    }
    SimulatorOptions options = {};
    options.decoys = true;
    options.nextDelayMs = kDefaultStepDelayMs;
    options.holdMs = kDefaultHoldMs;
    options.mode = kModeRun;
    if (const int status = ParseOptions(argc, argv, &options))
        return status;

    // Destroy stores an instance's key mode and channel for the current user;
    // whatever a run changed, the user's own host finds what it left there.
    StoredSettings stored[kFamilyCount];
    for (int i = 0; i < kFamilyCount; ++i)
        stored[i] = StoredSettingsRead(*kFamilies[i]);
    const int status = RunMode(options);
    for (const StoredSettings& settings : stored)
        StoredSettingsRestore(settings);
    return status;
}
