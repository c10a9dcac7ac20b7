# Cross build for 64-bit Windows with Debian's clang for the x86_64-w64-mingw32
# target, on the MinGW-w64 headers and libraries of Debian's GCC (POSIX thread
# model) and linked by lld. Windows programs run under Wine.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(CMAKE_C_COMPILER clang)
set(CMAKE_CXX_COMPILER clang++)
set(CMAKE_C_COMPILER_TARGET x86_64-w64-mingw32)
set(CMAKE_CXX_COMPILER_TARGET x86_64-w64-mingw32)
set(CMAKE_RC_COMPILER x86_64-w64-mingw32-windres)

set(CMAKE_FIND_ROOT_PATH /usr/x86_64-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)

# clang finds the MinGW-w64 headers and C runtime by itself, but not Debian's
# GCC directory with libstdc++ and libgcc, whose name carries the thread model.
file(GLOB KOLMAR_MINGW_GCC_DIR LIST_DIRECTORIES true /usr/lib/gcc/x86_64-w64-mingw32/*-posix)
list(GET KOLMAR_MINGW_GCC_DIR -1 KOLMAR_MINGW_GCC_DIR)
set(CMAKE_CXX_FLAGS_INIT
    "-isystem ${KOLMAR_MINGW_GCC_DIR}/include/c++ -isystem ${KOLMAR_MINGW_GCC_DIR}/include/c++/x86_64-w64-mingw32 -isystem ${KOLMAR_MINGW_GCC_DIR}/include/c++/backward")
# lld. Test programs and tools may use std::thread, which needs winpthreads;
# the DLLs use Win32 threads only (their table check makes sure).
set(CMAKE_EXE_LINKER_FLAGS_INIT "-fuse-ld=lld -L${KOLMAR_MINGW_GCC_DIR} -pthread")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-fuse-ld=lld -L${KOLMAR_MINGW_GCC_DIR}")
set(CMAKE_MODULE_LINKER_FLAGS_INIT "-fuse-ld=lld -L${KOLMAR_MINGW_GCC_DIR}")

set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/wine-run.sh)
