# Per variant (32 and 15 keys): a core library that also builds natively, a
# static library of the whole driver for the Windows tests, and the DLL. The
# toolkit's libraries (toolkit/sources.cmake) serve both variants.
foreach(part DRIVER ENGINE CONFIG)
    list(APPEND KOLMAR_CORE_SOURCES ${KOLMAR_${part}_CORE_SOURCES})
    list(APPEND KOLMAR_WINDOWS_SOURCES ${KOLMAR_${part}_WINDOWS_SOURCES})
endforeach()

foreach(keys 32 15)
    add_library(kolmar_core${keys} STATIC ${KOLMAR_CORE_SOURCES})
    kolmar_target(kolmar_core${keys})
    target_compile_definitions(kolmar_core${keys} PUBLIC KOLMAR_KEY_COUNT=${keys})
    # Native builds exist only for the tests: they get the seams the
    # deliverables go without.
    if(NOT WIN32)
        target_compile_definitions(kolmar_core${keys} PUBLIC KOLMAR_TEST_SEAMS)
    endif()
    target_link_libraries(kolmar_core${keys} PUBLIC kolmar_toolkit_core)
endforeach()

# The .def's LIBRARY line names the DLL's export directory, but only GNU ld
# honours it: lld and link.exe name the directory after the file they write.
# A DLL whose directory name differs from its file name is therefore linked
# under the directory name, in a folder of its own, and copied to its file name
# beside the other programs.
function(kolmar_export_directory_name deliverable directory_name)
    string(REGEX REPLACE "\\.dll$" "" directory "${directory_name}")
    if(directory STREQUAL deliverable)
        return()
    endif()
    set_target_properties(${deliverable} PROPERTIES OUTPUT_NAME ${directory}
        RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/link/${deliverable})
    add_custom_command(TARGET ${deliverable} POST_BUILD
        COMMAND ${CMAKE_COMMAND} -E copy $<TARGET_FILE:${deliverable}>
                ${CMAKE_RUNTIME_OUTPUT_DIRECTORY}/${deliverable}.dll)
endfunction()

if(WIN32)
    foreach(keys 32 15)
        set(deliverable Kolmar${keys}Keys)

        add_library(kolmar${keys} STATIC ${KOLMAR_WINDOWS_SOURCES})
        kolmar_target(kolmar${keys})
        target_link_libraries(kolmar${keys} PUBLIC kolmar_core${keys} kolmar_toolkit user32 gdi32
                                                   advapi32)

        # The same driver with the test seams, for the Windows tests only: the
        # deliverables carry no hook of the tests.
        add_library(kolmar${keys}_seamed STATIC ${KOLMAR_CORE_SOURCES} ${KOLMAR_WINDOWS_SOURCES})
        kolmar_target(kolmar${keys}_seamed)
        target_compile_definitions(kolmar${keys}_seamed PUBLIC KOLMAR_KEY_COUNT=${keys}
                                                               KOLMAR_TEST_SEAMS)
        target_link_libraries(kolmar${keys}_seamed PUBLIC kolmar_toolkit_core kolmar_toolkit user32
                                                          gdi32 advapi32)

        # The version record and bitmap 500; test programs link them too, since
        # they run the driver from the test executable's own module.
        add_library(kolmar${keys}_resources OBJECT resources/${deliverable}.rc)
        # windres reads the picture and the shared record through the .rc; a
        # redrawn picture must rebuild the resources.
        set_source_files_properties(resources/${deliverable}.rc PROPERTIES OBJECT_DEPENDS
            "${PROJECT_SOURCE_DIR}/resources/keypad_${keys}keys.bmp;${PROJECT_SOURCE_DIR}/resources/version_record.rc;${KOLMAR_GENERATED_DIR}/base/version.h")

        add_library(${deliverable} SHARED driver/dll_main.cpp ${KOLMAR_DEF_FILE_${keys}}
                                          $<TARGET_OBJECTS:kolmar${keys}_resources>)
        kolmar_target(${deliverable})
        target_link_libraries(${deliverable} PRIVATE "$<LINK_LIBRARY:WHOLE_ARCHIVE,kolmar${keys}>")
        set_target_properties(${deliverable} PROPERTIES PREFIX "" OUTPUT_NAME ${deliverable})
        kolmar_export_directory_name(${deliverable} ${KOLMAR_DIRECTORY_NAME_${keys}})
        list(APPEND KOLMAR_DLLS ${deliverable})  # the host package names them
    endforeach()
endif()
