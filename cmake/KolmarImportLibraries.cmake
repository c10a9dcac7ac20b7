# Import libraries for hosts that link a DLL instead of resolving its exports
# by name, made from the .def that ships beside them: libKolmarNNKeys.dll.a by
# GNU dlltool for MinGW, and KolmarNNKeys.lib in the Microsoft short-import
# format by llvm-dlltool, which every Microsoft-style linker reads and delay
# loads (a GNU archive under a .lib name links, but link.exe and lld-link
# ignore /DELAYLOAD for it). Both tools run in the output folder and are given
# bare file names: GNU dlltool names the archive's members and symbols after
# the output path it is given, which would put the build folder in them.
set(KOLMAR_IMPORT_LIBRARY_DIR ${PROJECT_BINARY_DIR}/import-libraries)
file(MAKE_DIRECTORY ${KOLMAR_IMPORT_LIBRARY_DIR})
find_program(KOLMAR_LLVM_DLLTOOL NAMES llvm-dlltool llvm-dlltool-14 REQUIRED)
find_program(KOLMAR_GNU_DLLTOOL NAMES x86_64-w64-mingw32-dlltool REQUIRED)
foreach(keys 32 15)
    set(deliverable Kolmar${keys}Keys)
    set(def ${KOLMAR_IMPORT_DEF_FILE_${keys}})
    set(KOLMAR_IMPORT_LIBRARY_${keys} ${KOLMAR_IMPORT_LIBRARY_DIR}/lib${deliverable}.dll.a)
    set(KOLMAR_MSVC_IMPORT_LIBRARY_${keys} ${KOLMAR_IMPORT_LIBRARY_DIR}/${deliverable}.lib)
    add_custom_command(OUTPUT ${KOLMAR_IMPORT_LIBRARY_${keys}}
        COMMAND ${KOLMAR_GNU_DLLTOOL} --machine i386:x86-64 --deterministic-libraries
                --input-def ${def} --output-lib lib${deliverable}.dll.a
        DEPENDS ${def}
        WORKING_DIRECTORY ${KOLMAR_IMPORT_LIBRARY_DIR}
        COMMENT "Import library lib${deliverable}.dll.a")
    add_custom_command(OUTPUT ${KOLMAR_MSVC_IMPORT_LIBRARY_${keys}}
        COMMAND ${KOLMAR_LLVM_DLLTOOL} -m i386:x86-64 -d ${def} -l ${deliverable}.lib
        DEPENDS ${def}
        WORKING_DIRECTORY ${KOLMAR_IMPORT_LIBRARY_DIR}
        COMMENT "Import library ${deliverable}.lib")
    list(APPEND import_libraries ${KOLMAR_IMPORT_LIBRARY_${keys}}
                                 ${KOLMAR_MSVC_IMPORT_LIBRARY_${keys}})
endforeach()
add_custom_target(import_libraries ALL DEPENDS ${import_libraries})
