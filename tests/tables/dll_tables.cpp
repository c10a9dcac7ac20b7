// Reads a deliverable's export and import tables from the file itself and
// fails on a missing, extra or mangled export, a wrong export directory name,
// an import of anything but a Windows system DLL (a host machine has no MinGW
// or compiler runtime), or a threading runtime linked in (the DLLs use Win32
// threads only). For every shipped program, the DLLs and the host simulator,
// it also fails a lost hardening flag (ASLR, high-entropy addresses, DEP), a
// section both writable and executable, and, where the build writes PDBs, a
// debug directory that does not name the program's PDB. A plain PE reader, so
// the check runs with every toolchain and on Windows itself, where no objdump
// may be at hand.
//
// usage: dll_tables <file name, beside this program> <export directory name, or
//        - for a program that exports nothing> [<PDB file name>]
#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "exports/export_list.h"
#include "base/platform_types.h"

namespace {

struct PeFile {
    std::vector<uint8_t> bytes;
    uint32_t sectionTable;  // file offset of the first section header
    uint16_t sectionCount;
    uint32_t optionalHeader;  // file offset of the optional header
    uint32_t exportRva, importRva;
};

uint32_t Read32(const PeFile& pe, uint32_t offset) {
    uint32_t value = 0;
    if (offset <= pe.bytes.size() && pe.bytes.size() - offset >= 4)
        std::memcpy(&value, pe.bytes.data() + offset, 4);
    return value;
}

uint16_t Read16(const PeFile& pe, uint32_t offset) {
    uint16_t value = 0;
    if (offset <= pe.bytes.size() && pe.bytes.size() - offset >= 2)
        std::memcpy(&value, pe.bytes.data() + offset, 2);
    return value;
}

// The file offset of a relative virtual address, or 0 outside every section.
uint32_t FileOffset(const PeFile& pe, uint32_t rva) {
    for (uint16_t i = 0; i < pe.sectionCount; ++i) {
        const uint32_t header = pe.sectionTable + 40u * i;
        const uint32_t address = Read32(pe, header + 12);
        const uint32_t size = std::max(Read32(pe, header + 8), Read32(pe, header + 16));
        if (rva >= address && rva - address < size)
            return Read32(pe, header + 20) + (rva - address);
    }
    return 0;
}

// The zero-terminated text at `rva`, or "" where there is none.
std::string TextAt(const PeFile& pe, uint32_t rva) {
    const uint32_t offset = FileOffset(pe, rva);
    if (offset == 0 || offset >= pe.bytes.size())
        return "";
    const char* begin = reinterpret_cast<const char*>(pe.bytes.data() + offset);
    return std::string(begin, strnlen(begin, pe.bytes.size() - offset));
}

bool Load(const char* path, PeFile* pe) {
    FILE* file = std::fopen(path, "rb");
    if (file == nullptr)
        return false;
    uint8_t chunk[65536];
    size_t got;
    while ((got = std::fread(chunk, 1, sizeof chunk, file)) > 0)
        pe->bytes.insert(pe->bytes.end(), chunk, chunk + got);
    std::fclose(file);

    const uint32_t header = Read32(*pe, 0x3C);
    // A 64-bit image: "PE\0\0", then the optional header of a PE32+ file.
    if (Read32(*pe, header) != 0x00004550 || Read16(*pe, header + 24) != 0x20B)
        return false;
    pe->sectionCount = Read16(*pe, header + 6);
    pe->optionalHeader = header + 24;
    pe->sectionTable = header + 24 + Read16(*pe, header + 20);
    pe->exportRva = Read32(*pe, header + 24 + 112);  // data directory 0
    pe->importRva = Read32(*pe, header + 24 + 120);  // data directory 1
    return true;
}

bool Contains(const PeFile& pe, const char* text) {
    const size_t length = std::strlen(text);
    return std::search(pe.bytes.begin(), pe.bytes.end(), text, text + length) != pe.bytes.end();
}

std::string Upper(std::string text) {
    for (char& c : text)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return text;
}

// The hardening every shipped program keeps; true when all of it is there.
bool CheckHardening(const PeFile& pe, const char* file) {
    bool good = true;
    struct Flag {
        uint16_t bit;
        const char* name;
    };
    static const Flag kFlags[] = {{0x0040, "DYNAMIC_BASE (ASLR)"},
                                  {0x0020, "HIGH_ENTROPY_VA (64-bit ASLR)"},
                                  {0x0100, "NX_COMPAT (DEP)"}};
    const uint16_t characteristics = Read16(pe, pe.optionalHeader + 70);
    for (const Flag& flag : kFlags) {
        if ((characteristics & flag.bit) == 0) {
            std::printf("FAIL %s lacks %s\n", file, flag.name);
            good = false;
        }
    }
    static constexpr uint32_t kExecute = 0x20000000, kWrite = 0x80000000;
    for (uint16_t i = 0; i < pe.sectionCount; ++i) {
        const uint32_t header = pe.sectionTable + 40u * i;
        if ((Read32(pe, header + 36) & (kExecute | kWrite)) == (kExecute | kWrite) &&
            header + 8 <= pe.bytes.size()) {
            char name[9] = {};
            std::memcpy(name, pe.bytes.data() + header, 8);
            std::printf("FAIL %s: section %s is writable and executable\n", file, name);
            good = false;
        }
    }
    return good;
}

// The PDB file name in the CodeView record of the debug directory, or "".
std::string PdbName(const PeFile& pe) {
    const uint32_t directory = FileOffset(pe, Read32(pe, pe.optionalHeader + 112 + 6 * 8));
    const uint32_t size = Read32(pe, pe.optionalHeader + 112 + 6 * 8 + 4);
    for (uint32_t entry = 0; directory != 0 && entry + 28 <= size; entry += 28) {
        const uint32_t record = Read32(pe, directory + entry + 24);  // its file offset
        // Type 2 is CodeView; "RSDS", the GUID, the age, then the name.
        if (Read32(pe, directory + entry + 12) == 2 && Read32(pe, record) == 0x53445352 &&
            record + 24 < pe.bytes.size()) {
            const char* name = reinterpret_cast<const char*>(pe.bytes.data() + record + 24);
            return std::string(name, strnlen(name, pe.bytes.size() - record - 24));
        }
    }
    return "";
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3 && argc != 4) {
        std::fprintf(stderr, "usage: dll_tables <file> <export directory name, or -> [<PDB>]\n");
        return 2;
    }
    // Beside this program, as the tests find the DLLs.
    char path[MAX_PATH];
    const DWORD length = GetModuleFileNameA(nullptr, path, sizeof path);
    std::string file(path, length);
    file = file.substr(0, file.find_last_of("\\/") + 1) + argv[1];
    const char* dll = argv[1];
    PeFile pe = {};
    if (!Load(file.c_str(), &pe)) {
        std::printf("FAIL cannot read %s as a 64-bit PE file\n", dll);
        return 1;
    }
    int status = CheckHardening(pe, dll) ? 0 : 1;
    const std::string pdb = PdbName(pe);
    if (argc == 4 && pdb != argv[3]) {
        std::printf("FAIL %s names the PDB \"%s\" in its debug directory, expected \"%s\"\n", dll,
                    pdb.c_str(), argv[3]);
        status = 1;
    }
    if (std::strcmp(argv[2], "-") == 0) {
        if (status == 0)
            std::printf("%s: ASLR, high-entropy addresses, DEP, no writable code%s%s\n", dll,
                        pdb.empty() ? "" : ", PDB ", pdb.c_str());
        return status;
    }

    std::vector<std::string> exports;
    const uint32_t directory = FileOffset(pe, pe.exportRva);
    const std::string name = directory != 0 ? TextAt(pe, Read32(pe, directory + 12)) : "";
    const uint32_t names = directory != 0 ? FileOffset(pe, Read32(pe, directory + 32)) : 0;
    for (uint32_t i = 0; names != 0 && i < Read32(pe, directory + 24); ++i)
        exports.push_back(TextAt(pe, Read32(pe, names + 4 * i)));
    std::sort(exports.begin(), exports.end());
    std::vector<std::string> expected;
#define KOLMAR_EXPECT_EXPORT(verb) expected.push_back("QP240REMOTE_" #verb);
    KOLMAR_EXPORTS(KOLMAR_EXPECT_EXPORT)
#undef KOLMAR_EXPECT_EXPORT
    std::sort(expected.begin(), expected.end());
    if (exports != expected) {
        std::printf("FAIL exports of %s differ from the export list:\n", dll);
        for (const std::string& e : exports)
            if (!std::binary_search(expected.begin(), expected.end(), e))
                std::printf("  extra %s\n", e.c_str());
        for (const std::string& e : expected)
            if (!std::binary_search(exports.begin(), exports.end(), e))
                std::printf("  missing %s\n", e.c_str());
        status = 1;
    }
    if (name != argv[2]) {
        std::printf("FAIL export directory names \"%s\", expected \"%s\"\n", name.c_str(), argv[2]);
        status = 1;
    }

    std::string imports;
    const uint32_t descriptors = FileOffset(pe, pe.importRva);
    for (uint32_t d = descriptors; d != 0 && Read32(pe, d + 12) != 0; d += 20) {
        const std::string import = Upper(TextAt(pe, Read32(pe, d + 12)));
        imports += " " + import;
        if (import != "KERNEL32.DLL" && import != "USER32.DLL" && import != "GDI32.DLL" &&
            import != "ADVAPI32.DLL" && import != "MSVCRT.DLL") {
            std::printf("FAIL %s imports %s, which is not a Windows system DLL\n", dll,
                        import.c_str());
            status = 1;
        }
    }

    // The runtime's stack protector seeds its canary through the crypto
    // provider, which loads DLLs while the loader lock is held for this DLL's
    // attach; the driver seeds its own.
    if (Contains(pe, "CryptAcquireContext")) {
        std::printf("FAIL %s seeds the stack protector through the crypto provider\n", dll);
        status = 1;
    }
    // A statically linked winpthreads imports nothing of its own: its
    // functions show in the symbol table, its source paths in its assertion
    // texts.
    if (Contains(pe, "pthread_") || Contains(pe, "winpthread")) {
        std::printf("FAIL %s links winpthreads\n", dll);
        status = 1;
    }

    if (status == 0)
        std::printf("%s: sixteen exports, directory name %s, imports:%s; ASLR, high-entropy "
                    "addresses, DEP, no writable code%s%s\n",
                    dll, name.c_str(), imports.c_str(), pdb.empty() ? "" : ", PDB ", pdb.c_str());
    return status;
}
