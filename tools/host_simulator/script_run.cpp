#include "tools/host_simulator/script_run.h"

#include <cstdio>

#include "tools/host_simulator/callback_log.h"
#include "tools/host_simulator/deliverable.h"
#include "tools/host_simulator/heap_watch.h"
#include "tools/host_simulator/simulated_keypads.h"

// From the pad protocol on channel 1, whatever the user had stored, then
// MIDI, for a family whose command keys are `stopAllPads` and `stopAllPads + 1`.
static std::vector<HostStep> DemonstrationScript(int32_t stopAllPads) {
    const uint32_t d = kDefaultStepDelayMs;
    return {
        {kStepKeyMode, QP240REMOTE_KEY_MODE_PADS, 50},
        {kStepChannel, 0, 0},
        {kStepStatusBlock, 0, 0},
        {kStepKeyDown, 3, d},
        {kStepKeyUp, 3, d},
        {kStepKeyDown, 4, d},
        {kStepKeyUp, 4, d},
        {kStepKeyDown, stopAllPads, d},
        {kStepKeyUp, stopAllPads, d},
        {kStepKeyMode, QP240REMOTE_KEY_MODE_MIDI, d},
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
static void PlugDevices(const SimulatorOptions& options, const KeypadFamily& family,
                        uint16_t model) {
    if (options.decoys) {
        const KeypadFamily& other = &family == &kFamily32Keys ? kFamily15Keys : kFamily32Keys;
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
    const KeypadFamily* family;
};

// The family of the DLL at `path`, from its plug information; null after
// saying why there is none.
static const KeypadFamily* ReadFamily(const char* path) {
    char error[512];
    Deliverable driver;
    if (!DeliverableLoad(&driver, path, error, sizeof error)) {
        std::fprintf(stderr, "host_simulator: %s\n", error);
        return nullptr;
    }
    const KeypadFamily* family = DeliverableFamily(driver);
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
    const KeypadFamily* modelFamily = FamilyOfProduct(options.model);
    if (paths.empty()) {
        for (const KeypadFamily& family : kKeypadFamilies)
            if (modelFamily == nullptr || modelFamily == &family)
                paths.push_back(DeliverablePath(family));
    }
    for (const std::string& path : paths) {
        const KeypadFamily* family = ReadFamily(path.c_str());
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

    uint8_t block[QP240REMOTE_PLUG_INFORMATION_SIZE];
    char architecture[QP240REMOTE_ARCHITECTURE_TEXT_SIZE];
    char text[1024];
    if (driver.GetPlugInformation(QP240REMOTE_PLUG_ARCHITECTURE_TEXT, architecture) ==
            QP240REMOTE_OK &&
        architecture[QP240REMOTE_ARCHITECTURE_TEXT_SIZE - 1] == '\0')
        LogLine("architecture: \"%s\"", architecture);
    driver.GetPlugInformation(QP240REMOTE_PLUG_INFORMATION, block);
    DescribePlugInformation(text, sizeof text, block, label);
    LogLine("plug information: %s", text);
    const KeypadFamily& family = *run.family;
    const uint16_t model = options.model != 0 ? options.model : family.productIds[1];
    PlugDevices(options, family, model);

    SimulatedHost host;
    SimulatedHostInit(&host, &driver, label);
    host.print = true;
    host.refusals = options.refusals;
    const std::vector<HostStep> script =
        options.script.empty() ? DemonstrationScript(StopAllPadsKey(family)) : options.script;

    LogLine("QP240REMOTE_Init -> %d", driver.Init(driver.module));
    void* instance = SimulatedHostCreate(&host);
    LogLine("QP240REMOTE_Create -> %s", instance != nullptr ? "instance" : "null");
    int result = 0;
    if (instance != nullptr) {
        SimulatedHostRunScript(&host, script);
        LogLine("QP240REMOTE_Start -> %d", driver.Start(instance));
        const uint32_t offers = options.refusals < 0 ? 2 : static_cast<uint32_t>(options.refusals);
        if (SimulatedHostWaitFor(&host, QP240REMOTE_CODE_CONNECTED, 1,
                                 (offers + 1) * QP240REMOTE_DETECTION_PERIOD_MS + 800)) {
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

int RunScript(const SimulatorOptions& options) {
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
