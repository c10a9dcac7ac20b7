# Compile and link settings shared by every target of the project, for each
# compiler family: GCC and clang (MinGW-w64 or native), and MSVC.

if(MSVC)
    # No exceptions and no run-time type information anywhere, tests included.
    string(REPLACE "/EHsc" "" CMAKE_CXX_FLAGS "${CMAKE_CXX_FLAGS}")
    string(REPLACE "/GR" "" CMAKE_CXX_FLAGS "${CMAKE_CXX_FLAGS}")
    string(APPEND CMAKE_CXX_FLAGS " /EHs-c- /GR-")
    add_compile_definitions(_HAS_EXCEPTIONS=0)
    # The C and C++ runtimes linked in (/MT): a host machine need not have the
    # matching redistributable installed.
    set(CMAKE_MSVC_RUNTIME_LIBRARY "MultiThreaded$<$<CONFIG:Debug>:Debug>")
else()
    string(APPEND CMAKE_CXX_FLAGS " -fno-exceptions -fno-rtti")
endif()

if(WIN32 AND NOT MSVC)
    # A host machine has no MinGW runtime: libgcc, libstdc++ and the C runtime
    # glue are linked in, so the DLLs import only Windows system DLLs.
    string(APPEND CMAKE_SHARED_LINKER_FLAGS " -static -static-libgcc -static-libstdc++")
    string(APPEND CMAKE_EXE_LINKER_FLAGS " -static -static-libgcc -static-libstdc++")
    # CMake wraps a whole archive in --push-state/--pop-state where GNU ld is
    # found, which lld's MinGW driver rejects; the plain pair means the same to
    # both linkers.
    set(CMAKE_LINK_LIBRARY_USING_WHOLE_ARCHIVE
        "LINKER:--whole-archive" "<LINK_ITEM>" "LINKER:--no-whole-archive")
endif()

set(KOLMAR_SANITIZE "" CACHE STRING "Native builds: address (ASan+UBSan), thread (TSan) or fuzzer (libFuzzer with ASan+UBSan)")
if(KOLMAR_SANITIZE STREQUAL "address")
    string(APPEND CMAKE_CXX_FLAGS
           " -fsanitize=address,undefined,float-cast-overflow -fno-sanitize-recover=all -fno-omit-frame-pointer")
    string(APPEND CMAKE_EXE_LINKER_FLAGS " -fsanitize=address,undefined,float-cast-overflow")
elseif(KOLMAR_SANITIZE STREQUAL "thread")
    string(APPEND CMAKE_CXX_FLAGS " -fsanitize=thread -fno-omit-frame-pointer")
    string(APPEND CMAKE_EXE_LINKER_FLAGS " -fsanitize=thread")
elseif(KOLMAR_SANITIZE STREQUAL "fuzzer")
    # libFuzzer's coverage in the code under test; the fuzz targets link the
    # fuzzer's main themselves.
    string(APPEND CMAKE_CXX_FLAGS
           " -fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer")
    string(APPEND CMAKE_EXE_LINKER_FLAGS " -fsanitize=address,undefined")
elseif(NOT KOLMAR_SANITIZE STREQUAL "")
    message(FATAL_ERROR "KOLMAR_SANITIZE must be empty, address, thread or fuzzer")
endif()

# Warnings are errors in the project's own code (not in GoogleTest's).
function(kolmar_warnings target)
    if(MSVC)
        target_compile_options(${target} PRIVATE /W4 /WX)
    else()
        target_compile_options(${target} PRIVATE -Wall -Wextra -Werror)
    endif()
endfunction()

# The host side (the public header's checks, the example host) is also held to
# the language standard, as a host engineer's strict build would be.
function(kolmar_pedantic_warnings target)
    if(MSVC)
        target_compile_options(${target} PRIVATE /W4 /WX)
    else()
        target_compile_options(${target} PRIVATE -Wall -Wextra -pedantic -Werror)
    endif()
endfunction()

# Everything the project builds is C++17; its headers are included from the
# repository root ("engine/report_queue.h").
function(kolmar_target target)
    kolmar_warnings(${target})
    kolmar_codeview(${target})
    if(target IN_LIST KOLMAR_SHIPPED_PROGRAMS)
        kolmar_pdb(${target})
    endif()
    target_compile_features(${target} PUBLIC cxx_std_17)
    target_include_directories(${target} PUBLIC ${PROJECT_SOURCE_DIR})
endfunction()

include(${CMAKE_CURRENT_LIST_DIR}/KolmarHardening.cmake)
include(${CMAKE_CURRENT_LIST_DIR}/KolmarDebugSymbols.cmake)

# Two builds of one commit give byte-identical programs: no PE time stamp, and
# no build directory in the debug information (with a PDB, kolmar_codeview
# maps the folders).
if(MINGW)
    add_link_options(-Wl,--no-insert-timestamp)
    if(NOT KOLMAR_PDB)
        add_compile_options(-fdebug-prefix-map=${PROJECT_SOURCE_DIR}/=)
    endif()
endif()
