#include "tools/host_simulator/simulator_options.h"

#include <cstdlib>
#include <cstring>

static constexpr uint32_t kDefaultHoldMs = 300;
static constexpr long long kLongestDelayMs = 600000;

static bool ParseNumber(const char* text, long long low, long long high, long long* value,
                        Refusal* refusal) {
    char* end = nullptr;
    const long long parsed = std::strtoll(text, &end, 0);
    if (end == text || *end != '\0') {
        std::snprintf(refusal->text, sizeof refusal->text, "\"%s\" is not a number (%lld..%lld)",
                      text, low, high);
        return false;
    }
    if (parsed < low || parsed > high) {
        std::snprintf(refusal->text, sizeof refusal->text, "%s is out of range %lld..%lld", text,
                      low, high);
        return false;
    }
    *value = parsed;
    return true;
}

// "0x008F 0x006C 0x00BA": the products a family takes.
std::string ProductList(const KeypadFamily& family) {
    std::string list;
    for (int32_t i = 0; i < family.productIdCount; ++i) {
        char id[8];
        std::snprintf(id, sizeof id, "%s0x%04X", i == 0 ? "" : " ", family.productIds[i]);
        list += id;
    }
    return list;
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
    long long index = 0;
    long long delay = options->nextDelayMs;
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
    long long seconds = 0;
    if (!ParseNumber(text, 1, 86400, &seconds, refusal))
        return false;
    options->torture.seconds = static_cast<uint32_t>(seconds);
    options->mode = kModeTorture;
    return true;
}
static bool ApplySeed(SimulatorOptions* options, const char* text, Refusal* refusal) {
    long long seed = 0;
    if (!ParseNumber(text, 0, 0xFFFFFFFFLL, &seed, refusal))
        return false;
    options->torture.seed = static_cast<uint32_t>(seed);
    options->torture.seedGiven = true;
    return true;
}
static bool ApplyLong(SimulatorOptions* options, const char*, Refusal*) {
    options->torture.longMode = true;
    return true;
}
static bool ApplyModel(SimulatorOptions* options, const char* text, Refusal* refusal) {
    long long product = 0;
    if (!ParseNumber(text, 1, 0xFFFF, &product, refusal))
        return false;
    if (FamilyOfProduct(static_cast<uint32_t>(product)) == nullptr) {
        std::string takes;
        for (const KeypadFamily& family : kKeypadFamilies)
            takes += (takes.empty() ? "" : ", ") + std::string(family.deliverableName) +
                     ".dll takes " + ProductList(family);
        std::snprintf(refusal->text, sizeof refusal->text,
                      "0x%04llX is no keypad of these drivers: %s", product, takes.c_str());
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
    long long count = 0;
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
    AddValueStep(options, kStepKeyMode,
                 std::strcmp(text, "midi") == 0 ? QP240REMOTE_KEY_MODE_MIDI
                                                : QP240REMOTE_KEY_MODE_PADS,
                 "--mode", text);
    return true;
}
static bool ApplyChannel(SimulatorOptions* options, const char* text, Refusal* refusal) {
    long long channel = 0;
    if (!ParseNumber(text, 1, 16, &channel, refusal))
        return false;
    AddValueStep(options, kStepChannel, static_cast<int32_t>(channel - 1), "--channel", text);
    return true;
}
static bool ApplyBank(SimulatorOptions* options, const char* text, Refusal* refusal) {
    long long bank = 0;
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
    long long delay = 0;
    if (!ParseNumber(text, 0, kLongestDelayMs, &delay, refusal))
        return false;
    options->nextDelayMs = static_cast<uint32_t>(delay);
    options->pendingWait = text;
    return true;
}
static bool ApplyHold(SimulatorOptions* options, const char* text, Refusal* refusal) {
    long long hold = 0;
    if (!ParseNumber(text, 0, kLongestDelayMs, &hold, refusal))
        return false;
    options->holdMs = static_cast<uint32_t>(hold);
    return true;
}

static const OptionRow kOptions[] = {
    {"--list-devices", nullptr,
     "print this system's real raw-input devices and which each DLL would take; takes no other "
     "option",
     ApplyListDevices, kModeListDevices, true},
    {"--model", "PID",
     "product id of the keypad to plug in, one of the models listed below (default: the second "
     "of its DLL's list); with no DLL named, only the DLL that takes it runs",
     ApplyModel, kModeRun, false},
    {"--no-decoys", nullptr, "plug in only the keypad, none of the devices that must not match",
     ApplyNoDecoys, kModeRun, false},
    {"--refuse", "N",
     "refuse the first N offers (0..1000), then accept; the driver offers once "
     "a second",
     ApplyRefuse, kModeRun, false},
    {"--refuse-all", nullptr, "refuse every offer", ApplyRefuseAll, kModeRun, false},
    {"--press", "K[@MS]",
     "press the key at index K (0-based, below the DLL's key count; key K+1 on the "
     "picture), MS ms after the step before (default 150)",
     ApplyPress, kModeRun, false},
    {"--release", "K[@MS]", "release key K", ApplyRelease, kModeRun, false},
    {"--tap", "K[@MS]", "press key K and release it 150 ms later", ApplyTap, kModeRun, false},
    {"--mode", "pad|midi", "switch the key mode (the host's context call)", ApplyMode, kModeRun,
     false},
    {"--channel", "N", "switch to MIDI channel N, 1..16", ApplyChannel, kModeRun, false},
    {"--bank", "N", "switch to PadBank N; MIDI notes are 64 + PadBank x stride + key", ApplyBank,
     kModeRun, false},
    {"--status", nullptr, "hand the driver a new status block (id 56)", ApplyStatus, kModeRun,
     false},
    {"--wait", "MS", "delay of the next step", ApplyWait, kModeRun, false},
    {"--hold", "MS", "keep running this long after the last step (default 300)", ApplyHold,
     kModeRun, false},
    {"--count-allocations", nullptr,
     "count the driver's heap allocations while the keypad is connected (there should be none)",
     ApplyCountAllocations, kModeRun, false},
    {"--config-box", "PNG",
     "open the configuration box of one DLL (default Kolmar32Keys.dll) in a host window, click "
     "its fields and save the box as PNG; takes no other option",
     ApplyConfigBox, kModeConfigBox, true},
    {"--torture", "SECONDS",
     "drive each DLL for SECONDS (1..86400) from several host threads at once with random calls "
     "of every export, from inside callbacks too, check every answer, every call's time and "
     "what a host relies on, and print a summary; takes only --seed and --long",
     ApplyTorture, kModeTorture, true},
    {"--seed", "N",
     "the torture's random decisions from seed N (0..2^32-1; default: from the clock), printed "
     "in its summary so that a run can be repeated",
     ApplySeed, kModeTorture, false},
    {"--long", nullptr,
     "the torture also blocks callbacks beyond Stop's wait, and ends and unloads each "
     "DLL while a worker Stop gave up on is still blocked (adds about 30 s per DLL)",
     ApplyLong, kModeTorture, false},
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

void PrintUsage(FILE* out) {
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
    for (const KeypadFamily& family : kKeypadFamilies)
        std::fprintf(out, "  %s.dll (%d keys): %s\n", family.deliverableName, family.keyCount,
                     ProductList(family).c_str());
}

bool IsHelp(const char* word) {
    return std::strcmp(word, "--help") == 0 || std::strcmp(word, "-h") == 0;
}

// The option that chooses `mode`.
static const char* ModeOption(uint32_t mode) {
    for (const OptionRow& row : kOptions)
        if (row.choosesMode && row.modes == mode)
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

int ParseOptions(int argc, char** argv, SimulatorOptions* options) {
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

SimulatorOptions SimulatorOptionsDefaults() {
    SimulatorOptions options = {};
    options.decoys = true;
    options.nextDelayMs = kDefaultStepDelayMs;
    options.holdMs = kDefaultHoldMs;
    options.mode = kModeRun;
    return options;
}
