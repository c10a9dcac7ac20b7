// The simulator's command line: one row per option, each naming the modes
// that take it, so that the parsing, the usage text and the check of what a
// mode would leave unused refer to options by name.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "tools/host_simulator/keypad_families.h"
#include "tools/host_simulator/simulated_host.h"
#include "tools/host_simulator/torture.h"

inline constexpr uint32_t kDefaultStepDelayMs = 150;

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
    TortureSettings torture;               // --torture, --seed, --long
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
    uint32_t modes;    // the SimulatorModes that take it; 0 stands for kModeRun alone
    bool choosesMode;  // the option that selects its one mode
};

// The options before parsing: decoys on, the default step delay and hold.
SimulatorOptions SimulatorOptionsDefaults();
// Parses argv into `options`. Returns 0 when parsed, else the exit code (2)
// after an explanation on stderr.
int ParseOptions(int argc, char** argv, SimulatorOptions* options);
// True for --help and -h.
bool IsHelp(const char* word);
void PrintUsage(FILE* out);

// "0x008F 0x006C 0x00BA": the products a family takes.
std::string ProductList(const KeypadFamily& family);
