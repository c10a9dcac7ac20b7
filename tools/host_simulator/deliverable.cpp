#include "tools/host_simulator/deliverable.h"

#include <cstdio>
#include <cstring>

#include "tools/host_simulator/keypad_families.h"
#include "tools/host_simulator/system_error.h"

bool DeliverableLoad(Deliverable* deliverable, const char* path, char* error, size_t errorSize) {
    std::memset(deliverable, 0, sizeof *deliverable);
    HMODULE module = LoadLibraryA(path);
    if (module == nullptr) {
        const DWORD code = GetLastError();
        char reason[320];
        DescribeSystemError(reason, sizeof reason, code, path);
        std::snprintf(error, errorSize, "cannot load %s: %s%s", path, reason,
                      code == ERROR_BAD_EXE_FORMAT ? "; the drivers and their host are 64-bit"
                                                   : "");
        return false;
    }
#define KOLMAR_RESOLVE(name)                                                                       \
    deliverable->name = reinterpret_cast<decltype(&QP240REMOTE_##name)>(                           \
        reinterpret_cast<void*>(GetProcAddress(module, "QP240REMOTE_" #name)));                    \
    if (deliverable->name == nullptr) {                                                            \
        std::snprintf(error, errorSize, "%s does not export QP240REMOTE_" #name, path);            \
        FreeLibrary(module);                                                                       \
        std::memset(deliverable, 0, sizeof *deliverable);                                          \
        return false;                                                                              \
    }
    KOLMAR_EXPORTS(KOLMAR_RESOLVE)
#undef KOLMAR_RESOLVE
    deliverable->module = module;
    return true;
}

void DeliverableUnload(Deliverable* deliverable) {
    if (deliverable->module != nullptr)
        FreeLibrary(deliverable->module);
    std::memset(deliverable, 0, sizeof *deliverable);
}

const char* PathFileName(const char* path) {
    const char* name = path;
    for (const char* p = path; *p != '\0'; ++p)
        if (*p == '\\' || *p == '/')
            name = p + 1;
    return name;
}

void ProgramDirectory(char* out, size_t size) {
    char path[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, path, sizeof path);
    char* slash = std::strrchr(path, '\\');
    if (slash != nullptr)
        slash[1] = '\0';
    else
        path[0] = '\0';
    std::snprintf(out, size, "%s", path);
}

std::string DeliverablePath(const KeypadFamily& family) {
    char directory[MAX_PATH];
    ProgramDirectory(directory, sizeof directory);
    return std::string(directory) + family.deliverableName + ".dll";
}

const KeypadFamily* DeliverableFamily(const Deliverable& deliverable) {
    uint8_t block[QP240REMOTE_PLUG_INFORMATION_SIZE];
    if (deliverable.GetPlugInformation(QP240REMOTE_PLUG_INFORMATION, block) != QP240REMOTE_OK)
        return nullptr;
    return FamilyOfPlugInformation(block);
}
