// The host simulator: plays the audio host against a Kolmar keypad driver DLL,
// plugs in simulated keypads, and prints every call it makes and every
// callback it receives. Its modes: the script run (the default), the device
// listing, the configuration box's picture and the torture.
#include "tools/host_simulator/config_box_view.h"
#include "tools/host_simulator/device_listing.h"
#include "tools/host_simulator/keypad_families.h"
#include "tools/host_simulator/script_run.h"
#include "tools/host_simulator/simulator_options.h"
#include "tools/host_simulator/stored_settings.h"
#include "tools/host_simulator/torture.h"

static int RunMode(const SimulatorOptions& options) {
    switch (options.mode) {
        case kModeListDevices:
            return ListRawInputDevices();
        case kModeConfigBox:
            return RunConfigBoxView(options.configBoxPng,
                                    options.dlls.empty() ? nullptr : options.dlls[0].c_str());
        case kModeTorture:
            return TortureRun(options.torture, options.dlls);
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
    SimulatorOptions options = SimulatorOptionsDefaults();
    if (const int status = ParseOptions(argc, argv, &options))
        return status;

    // Destroy stores an instance's key mode and channel for the current user;
    // whatever a run changed, the user's own host finds what it left there.
    const HANDLE claim = StoredSettingsClaim();
    StoredSettings stored[kKeypadFamilyCount];
    for (int i = 0; i < kKeypadFamilyCount; ++i)
        stored[i] = StoredSettingsRead(kKeypadFamilies[i]);
    const int status = RunMode(options);
    for (const StoredSettings& settings : stored)
        StoredSettingsRestore(settings);
    StoredSettingsLetGo(claim);
    return status;
}
