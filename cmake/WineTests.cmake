# Windows test programs. Cross-built, they run under Wine in one headless
# prefix per build directory, made once by the wine_prefix fixture; built on
# Windows itself, they run directly.
set(KOLMAR_WINEPREFIX ${CMAKE_BINARY_DIR}/wineprefix)
# A second prefix whose programs run under full heap checking, slower in every
# heap call, for the tests that hunt for heap faults; what Wine finds it says
# on its heap channels, and any such line fails the test.
set(KOLMAR_HEAP_WINEPREFIX ${CMAKE_BINARY_DIR}/wineprefix-heap)
set(KOLMAR_HEAP_WINEDEBUG "-all,err+heap,warn+heap")
set(KOLMAR_HEAP_COMPLAINT ":heap:")

if(CMAKE_CROSSCOMPILING)
    add_test(NAME wine_prefix COMMAND ${PROJECT_SOURCE_DIR}/cmake/wine-prefix.sh ${KOLMAR_WINEPREFIX})
    set_tests_properties(wine_prefix PROPERTIES FIXTURES_SETUP wine)
    # No server left (a repeated run stops it twice) is as good as stopped.
    add_test(NAME wine_server_stop COMMAND sh -c "wineserver -k 2>/dev/null; exit 0")
    set_tests_properties(wine_server_stop PROPERTIES FIXTURES_CLEANUP wine
        ENVIRONMENT "WINEPREFIX=${KOLMAR_WINEPREFIX}")

    add_test(NAME wine_prefix_heap COMMAND ${PROJECT_SOURCE_DIR}/cmake/wine-prefix.sh
             ${KOLMAR_HEAP_WINEPREFIX} heap-checked)
    set_tests_properties(wine_prefix_heap PROPERTIES FIXTURES_SETUP wine_heap)
    add_test(NAME wine_server_stop_heap COMMAND sh -c "wineserver -k 2>/dev/null; exit 0")
    set_tests_properties(wine_server_stop_heap PROPERTIES FIXTURES_CLEANUP wine_heap
        ENVIRONMENT "WINEPREFIX=${KOLMAR_HEAP_WINEPREFIX}")
endif()

# One CTest test per program (every Wine start costs time). Programs that touch
# the registry or load the deliverables pass LOCKS so they never overlap.
# HEAP_CHECKED runs it in the heap-checked prefix.
function(kolmar_add_wine_test name target)
    cmake_parse_arguments(ARG "HEAP_CHECKED" "TIMEOUT" "LOCKS;ARGS" ${ARGN})
    if(NOT ARG_TIMEOUT)
        set(ARG_TIMEOUT 300)
    endif()
    add_test(NAME ${name} COMMAND ${target} ${ARG_ARGS})
    set_tests_properties(${name} PROPERTIES TIMEOUT ${ARG_TIMEOUT})
    if(CMAKE_CROSSCOMPILING AND ARG_HEAP_CHECKED)
        set_tests_properties(${name} PROPERTIES
            FIXTURES_REQUIRED wine_heap
            ENVIRONMENT "WINEPREFIX=${KOLMAR_HEAP_WINEPREFIX};WINEDEBUG=${KOLMAR_HEAP_WINEDEBUG}"
            FAIL_REGULAR_EXPRESSION "${KOLMAR_HEAP_COMPLAINT}")
    elseif(CMAKE_CROSSCOMPILING)
        set_tests_properties(${name} PROPERTIES
            FIXTURES_REQUIRED wine
            ENVIRONMENT "WINEPREFIX=${KOLMAR_WINEPREFIX};WINEDEBUG=-all")
    endif()
    if(ARG_LOCKS)
        set_tests_properties(${name} PROPERTIES RESOURCE_LOCK "${ARG_LOCKS}")
    endif()
endfunction()
