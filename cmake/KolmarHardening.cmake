# Hardening of every Windows program, both compilers (the DLLs' table check
# fails a DLL that lost a flag or has a section both writable and executable):
# - a stack canary in every function with a local array or an address-taken
#   local, checked on return; libssp, linked in statically, holds the canary
#   and the handler (the compilers add -lssp when they link with the option),
#   but in the DLLs, which hold their own (driver/stack_guard.cpp) so that no
#   crypto provider is loaded while the host's loader lock is held;
# - fortified string calls: with optimisation, MinGW-w64's <string.h> turns a
#   memcpy, strcpy and the like into a size-checked call wherever the size of
#   the destination is known (GCC also checks the printf family);
# - ASLR with high-entropy addresses and DEP (both linkers default to them
#   today; stated so that a toolchain change cannot drop them).
# Control Flow Guard is left out: GCC cannot emit it; clang 14 has no driver
# option for it on this target, and the guarded code it makes with the
# compiler's own -cfguard needs the C runtime's guard pointers
# (__guard_dispatch_icall_fptr) and a load configuration record, neither of
# which the MinGW-w64 10 runtime has.
if(MINGW)
    add_compile_options(-fstack-protector-strong)
    add_compile_definitions(_FORTIFY_SOURCE=2)
    add_link_options(-fstack-protector-strong LINKER:--dynamicbase LINKER:--high-entropy-va
                     LINKER:--nxcompat)
endif()
