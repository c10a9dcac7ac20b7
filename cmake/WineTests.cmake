# Windows test programs. Cross-built, they run under Wine in one headless
# prefix per build directory, made once by the wine_prefix fixture; built on
# Windows itself, they run directly.
set(KOLMAR_WINEPREFIX ${CMAKE_BINARY_DIR}/wineprefix)

if(CMAKE_CROSSCOMPILING)
    add_test(NAME wine_prefix COMMAND ${PROJECT_SOURCE_DIR}/cmake/wine-prefix.sh ${KOLMAR_WINEPREFIX})
    set_tests_properties(wine_prefix PROPERTIES FIXTURES_SETUP wine)
    # No server left (a repeated run stops it twice) is as good as stopped.
    add_test(NAME wine_server_stop COMMAND sh -c "wineserver -k 2>/dev/null; exit 0")
    set_tests_properties(wine_server_stop PROPERTIES FIXTURES_CLEANUP wine
        ENVIRONMENT "WINEPREFIX=${KOLMAR_WINEPREFIX}")
endif()

# One CTest test per program (every Wine start costs time). Programs that touch
# the registry or load the deliverables pass LOCKS so they never overlap.
function(kolmar_add_wine_test name target)
    cmake_parse_arguments(ARG "" "TIMEOUT" "LOCKS;ARGS" ${ARGN})
    if(NOT ARG_TIMEOUT)
        set(ARG_TIMEOUT 300)
    endif()
    add_test(NAME ${name} COMMAND ${target} ${ARG_ARGS})
    set_tests_properties(${name} PROPERTIES TIMEOUT ${ARG_TIMEOUT})
    if(CMAKE_CROSSCOMPILING)
        set_tests_properties(${name} PROPERTIES
            FIXTURES_REQUIRED wine
            ENVIRONMENT "WINEPREFIX=${KOLMAR_WINEPREFIX};WINEDEBUG=-all")
    endif()
    if(ARG_LOCKS)
        set_tests_properties(${name} PROPERTIES RESOURCE_LOCK "${ARG_LOCKS}")
    endif()
endfunction()
