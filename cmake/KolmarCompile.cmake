# Compile settings shared by every target of the project.

# No exceptions and no run-time type information anywhere, tests included.
string(APPEND CMAKE_CXX_FLAGS " -fno-exceptions -fno-rtti")

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
    target_compile_options(${target} PRIVATE -Wall -Wextra -Werror)
endfunction()

# Everything the project builds is C++17; its headers are included from the
# repository root ("engine/report_queue.h").
function(kolmar_target target)
    kolmar_warnings(${target})
    target_compile_features(${target} PUBLIC cxx_std_17)
    target_include_directories(${target} PUBLIC ${PROJECT_SOURCE_DIR})
endfunction()

# Two builds of one commit give byte-identical programs: no PE time stamp, and
# no build directory in the debug information.
if(MINGW)
    add_link_options(-Wl,--no-insert-timestamp)
    add_compile_options(-fdebug-prefix-map=${PROJECT_SOURCE_DIR}/=)
endif()
