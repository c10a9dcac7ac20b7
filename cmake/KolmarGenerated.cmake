# Files made from the facts written once: the version (the project version in
# CMakeLists.txt) and the export list (driver/exports.txt). Everything the build
# generates lands in generated/, which every target sees on its include path
# ("base/version.h").
set(KOLMAR_GENERATED_DIR ${PROJECT_BINARY_DIR}/generated)
include_directories(${KOLMAR_GENERATED_DIR})

configure_file(base/version.h.in ${KOLMAR_GENERATED_DIR}/base/version.h @ONLY)

# The public header names the contract's major and minor version, which the
# DLLs carry in the top two bytes of their version word and a host records as
# the revision it compiled against: a project version of another major or
# minor is a change of contract, to be made in the header as well.
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/include/qp240_remote.h)
foreach(part MAJOR MINOR)
    file(STRINGS include/qp240_remote.h contract_version REGEX "^#define QP240REMOTE_VERSION_${part} ")
    string(REGEX REPLACE ".* ([0-9]+)$" "\\1" contract_version "${contract_version}")
    if(NOT contract_version STREQUAL PROJECT_VERSION_${part})
        string(TOLOWER ${part} name)
        message(FATAL_ERROR "The project version's ${name} ${PROJECT_VERSION_${part}} is not the "
                            "contract's ${name} ${contract_version} (QP240REMOTE_VERSION_${part} in "
                            "include/qp240_remote.h)")
    endif()
endforeach()

# The sixteen exports, one name a line.
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/driver/exports.txt)
file(STRINGS driver/exports.txt KOLMAR_EXPORTS REGEX "^QP240REMOTE_")
set(KOLMAR_EXPORT_LIST_FILE ${PROJECT_SOURCE_DIR}/driver/exports.txt)

# X(name) for every export without its QP240REMOTE_ prefix, for the host
# simulator's table of resolved exports and the table check. Not under driver/:
# the host side reads the list, never the driver.
set(export_macro "")
foreach(export ${KOLMAR_EXPORTS})
    string(REPLACE "QP240REMOTE_" "" short ${export})
    string(APPEND export_macro " X(${short})")
endforeach()
file(CONFIGURE OUTPUT ${KOLMAR_GENERATED_DIR}/exports/export_list.h CONTENT
     "// Made by CMake from driver/exports.txt.\n#pragma once\n\n#define KOLMAR_EXPORTS(X)${export_macro}\n")

# Two .def files per deliverable. The link's names the export directory in its
# LIBRARY line; the one that ships for host engineers, and that the import
# libraries are made from, names the file a host loads: the 15-key export
# directory says KolmarKeys.dll, but the file is Kolmar15Keys.dll.
set(KOLMAR_DIRECTORY_NAME_32 Kolmar32Keys.dll)
set(KOLMAR_DIRECTORY_NAME_15 KolmarKeys.dll)
string(REPLACE ";" "\n    " def_exports "${KOLMAR_EXPORTS}")
foreach(keys 32 15)
    set(KOLMAR_DEF_FILE_${keys} ${KOLMAR_GENERATED_DIR}/Kolmar${keys}Keys.def)
    file(CONFIGURE OUTPUT ${KOLMAR_DEF_FILE_${keys}} CONTENT
         "LIBRARY \"${KOLMAR_DIRECTORY_NAME_${keys}}\"\nEXPORTS\n    ${def_exports}\n")
    set(KOLMAR_IMPORT_DEF_FILE_${keys} ${KOLMAR_GENERATED_DIR}/import/Kolmar${keys}Keys.def)
    file(CONFIGURE OUTPUT ${KOLMAR_IMPORT_DEF_FILE_${keys}} CONTENT
         "LIBRARY \"Kolmar${keys}Keys.dll\"\nEXPORTS\n    ${def_exports}\n")
endforeach()
