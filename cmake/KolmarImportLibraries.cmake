# Import libraries for hosts that link a DLL instead of resolving its exports
# by name: libKolmarNNKeys.dll.a for MinGW and KolmarNNKeys.lib for the
# Microsoft linker, both made by dlltool from the deliverable's .def. The DLL
# they name is given with --dllname: the 15-key export directory says
# KolmarKeys.dll, but the file a host loads is Kolmar15Keys.dll.
set(KOLMAR_IMPORT_LIBRARY_DIR ${PROJECT_BINARY_DIR}/import-libraries)
file(MAKE_DIRECTORY ${KOLMAR_IMPORT_LIBRARY_DIR})
foreach(keys 32 15)
    set(deliverable Kolmar${keys}Keys)
    set(KOLMAR_IMPORT_LIBRARY_${keys} ${KOLMAR_IMPORT_LIBRARY_DIR}/lib${deliverable}.dll.a)
    set(KOLMAR_MSVC_IMPORT_LIBRARY_${keys} ${KOLMAR_IMPORT_LIBRARY_DIR}/${deliverable}.lib)
    foreach(library ${KOLMAR_IMPORT_LIBRARY_${keys}} ${KOLMAR_MSVC_IMPORT_LIBRARY_${keys}})
        list(APPEND import_libraries ${library})
        add_custom_command(OUTPUT ${library}
            COMMAND ${CMAKE_DLLTOOL} --machine i386:x86-64 --deterministic-libraries
                    --input-def ${KOLMAR_DEF_FILE_${keys}} --dllname ${deliverable}.dll
                    --output-lib ${library}
            DEPENDS ${KOLMAR_DEF_FILE_${keys}}
            WORKING_DIRECTORY ${KOLMAR_IMPORT_LIBRARY_DIR}
            COMMENT "Import library ${library}")
    endforeach()
endforeach()
add_custom_target(import_libraries ALL DEPENDS ${import_libraries})
