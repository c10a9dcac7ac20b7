// The host simulator: plays the audio host against a Kolmar keypad driver DLL
// and prints every call it makes and every callback it receives.
#include <cstdio>
#include <cstring>

#include "tools/host_simulator/callback_log.h"
#include "tools/host_simulator/config_box_view.h"
#include "tools/host_simulator/deliverable.h"

static const char kUsage[] =
    "usage: host_simulator [--help] [DLL ...]\n"
    "\n"
    "Plays the host of a Kolmar keypad driver: loads each DLL by path, prints its\n"
    "plug information, then runs Init, Create, Start, GetDriverStatus, Stop,\n"
    "Destroy and End, printing each call with its result and every callback the\n"
    "driver makes, with milliseconds since the start.\n"
    "\n"
    "With no DLL named, runs the demonstration against Kolmar32Keys.dll and\n"
    "Kolmar15Keys.dll beside the simulator.\n"
    "\n"
    "  --help   this text\n"
    "  --config-box PNG [DLL]  open the configuration box in a host window, click\n"
    "           its fields and save the box as PNG (default DLL: Kolmar32Keys.dll)\n";

// The simulated host's callback: prints the call. No keypad is offered yet in
// this run, so an offer is refused.
static int32_t SimulatedHostCallback(intptr_t userValue, int32_t code, int32_t argument,
                                     void* pointer) {
    char line[768];
    DescribeCallback(line, sizeof line, code, argument, pointer);
    LogLine("  [%s] %s", reinterpret_cast<const char*>(userValue), line);
    return 0;
}

static const char* FileName(const char* path) {
    const char* name = path;
    for (const char* p = path; *p != '\0'; ++p)
        if (*p == '\\' || *p == '/')
            name = p + 1;
    return name;
}

// One host session with one deliverable: the whole lifecycle of one instance.
static int RunLifecycle(const char* path) {
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
    if (driver.GetPlugInformation(1, block) == 0) {
        DescribePlugInformation(text, sizeof text, block);
        LogLine("plug information: %s", text);
    }

    LogLine("QP240REMOTE_Init -> %d", driver.Init(driver.module));
    void* instance = driver.Create(SimulatedHostCallback, reinterpret_cast<intptr_t>(label));
    LogLine("QP240REMOTE_Create -> %s", instance != nullptr ? "instance" : "null");
    if (instance == nullptr) {
        LogLine("last error: \"%s\"", driver.GetLastErrorString());
        driver.End();
        DeliverableUnload(&driver);
        return 1;
    }
    LogLine("QP240REMOTE_GetDriverStatus -> %d", driver.GetDriverStatus(instance));
    LogLine("QP240REMOTE_Start -> %d", driver.Start(instance));
    Sleep(200);
    LogLine("QP240REMOTE_GetDriverStatus -> %d", driver.GetDriverStatus(instance));
    LogLine("QP240REMOTE_Stop -> %d", driver.Stop(instance));
    LogLine("QP240REMOTE_GetDriverStatus -> %d", driver.GetDriverStatus(instance));
    LogLine("QP240REMOTE_Destroy -> %d", driver.Destroy(instance));
    LogLine("QP240REMOTE_End -> %d", driver.End());
    LogLine("last error: \"%s\"", driver.GetLastErrorString());
    DeliverableUnload(&driver);
    return 0;
}

int main(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
            std::fputs(kUsage, stdout);
            return 0;
        }
        if (std::strcmp(argv[i], "--config-box") == 0)
            return RunConfigBoxView(argc - i - 1, argv + i + 1);
        if (argv[i][0] == '-') {
            std::fprintf(stderr, "host_simulator: unknown option %s\n\n%s", argv[i], kUsage);
            return 2;
        }
    }
    // A real GUI host has user32 loaded before it loads a driver.
    LoadLibraryA("user32.dll");
    LogStartClock();

    int failures = 0;
    if (argc > 1) {
        for (int i = 1; i < argc; ++i)
            failures += RunLifecycle(argv[i]);
        return failures == 0 ? 0 : 1;
    }
    char directory[MAX_PATH];
    ProgramDirectory(directory, sizeof directory);
    static const char* const kDeliverables[] = {"Kolmar32Keys.dll", "Kolmar15Keys.dll"};
    for (const char* name : kDeliverables) {
        char path[MAX_PATH + 32];
        std::snprintf(path, sizeof path, "%s%s", directory, name);
        failures += RunLifecycle(path);
    }
    return failures == 0 ? 0 : 1;
}
