// Loads a DLL, which runs its start-up code as a host's load does, and prints
// the 8 bytes at a given RVA of the loaded image in hex: the stack canary,
// whose RVA the test reads from the DLL's PDB.
// usage: canary_reader <DLL> <RVA, decimal>
#include <windows.h>

#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <cstring>

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: canary_reader <DLL> <RVA>\n");
        return 2;
    }
    HMODULE module = LoadLibraryA(argv[1]);
    if (module == nullptr) {
        std::fprintf(stderr, "canary_reader: cannot load %s (error %lu)\n", argv[1],
                     GetLastError());
        return 1;
    }
    uint64_t value;
    std::memcpy(&value,
                reinterpret_cast<const uint8_t*>(module) + std::strtoul(argv[2], nullptr, 10),
                sizeof value);
    std::printf("%016" PRIx64 "\n", value);
    FreeLibrary(module);
    return 0;
}
