# Debug information that Windows debuggers read. WinDbg, Visual Studio and the
# crash-dump tools load PDB files, matched to a program by the CodeView record
# in its debug directory (the PDB's GUID and age, and its file name). With
# clang every object of the project carries CodeView, and lld writes a PDB for
# each shipped program (kolmar_pdb, which kolmar_target calls for them). Test programs link without one, which
# costs nothing: lld drops the CodeView of a program it writes no PDB for.
# The programs of the release package (tools/package.sh reads the list from the
# cache).
set(KOLMAR_SHIPPED_PROGRAMS Kolmar32Keys Kolmar15Keys host_simulator CACHE INTERNAL
    "Targets whose programs the release package ships")

if(MINGW AND CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
    set(KOLMAR_PDB ON)
else()
    set(KOLMAR_PDB OFF)
endif()

# No folder of the build machine in a PDB: the PDB of one commit is the same in
# every clone, and a debugger maps one fixed root to the sources. The source
# folder is /kolmar/source and the build folder /kolmar/build in the objects'
# file names and build records; the compiler's command line names both only
# relative to the build folder (fixed-paths-compile.sh), and lld writes the
# objects' names and its own folder under /kolmar/build (-pdbsourcepath).
set(KOLMAR_PDB_SOURCE_ROOT /kolmar/source)
set(KOLMAR_PDB_BUILD_ROOT /kolmar/build)
if(KOLMAR_PDB)
    file(RELATIVE_PATH source_from_build ${PROJECT_BINARY_DIR} ${PROJECT_SOURCE_DIR})
    string(REGEX REPLACE "/$" "" source_from_build "${source_from_build}")
    set(launcher ${CMAKE_CURRENT_LIST_DIR}/fixed-paths-compile.sh ${PROJECT_SOURCE_DIR}
                 ${PROJECT_BINARY_DIR} ${source_from_build})
    set(CMAKE_C_COMPILER_LAUNCHER ${launcher})
    set(CMAKE_CXX_COMPILER_LAUNCHER ${launcher})
endif()

function(kolmar_codeview target)
    if(KOLMAR_PDB)
        target_compile_options(${target} PRIVATE -g -gcodeview
            -ffile-compilation-dir=${KOLMAR_PDB_BUILD_ROOT}
            -fdebug-prefix-map=${source_from_build}=${KOLMAR_PDB_SOURCE_ROOT})
    endif()
endfunction()

# TARGET.pdb beside the programs. The debug directory names the file alone
# (%_PDB%), not the build's path, so that a debugger finds the PDB beside the
# program or on its symbol path, and two build folders give the same program.
# The DWARF that the runtime libraries bring (libstdc++, libgcc, the start-up
# code) is stripped after the link: Windows debuggers ignore it. The PDB's GUID
# stays in the debug directory, so the two still match.
function(kolmar_pdb target)
    if(NOT KOLMAR_PDB)
        return()
    endif()
    # The linker runs in the build folder.
    file(RELATIVE_PATH pdb ${PROJECT_BINARY_DIR} ${CMAKE_RUNTIME_OUTPUT_DIRECTORY}/${target}.pdb)
    target_link_options(${target} PRIVATE "LINKER:--pdb=${pdb}" "LINKER:-Xlink=-pdbaltpath:%_PDB%"
        "LINKER:-Xlink=-pdbsourcepath:${KOLMAR_PDB_BUILD_ROOT}")
    add_custom_command(TARGET ${target} POST_BUILD
        COMMAND ${CMAKE_OBJCOPY} --strip-debug $<TARGET_FILE:${target}>)
endfunction()
