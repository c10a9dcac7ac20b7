# Drawing toolkit: shared drawing resources and the mini list-view. It needs
# no variant and nothing of the layers above it (of base/ only the platform
# types), so it is built once, as libraries of its own: the arithmetic
# that also builds natively, and the windows on top of it.
set(KOLMAR_TOOLKIT_CORE_SOURCES
    toolkit/list_view_geometry.cpp
    toolkit/list_view_moves.cpp
    toolkit/list_view_passes.cpp)
set(KOLMAR_TOOLKIT_WINDOWS_SOURCES
    toolkit/drawing_resources.cpp
    toolkit/list_view.cpp)

add_library(kolmar_toolkit_core STATIC ${KOLMAR_TOOLKIT_CORE_SOURCES})
kolmar_target(kolmar_toolkit_core)
if(WIN32)
    add_library(kolmar_toolkit STATIC ${KOLMAR_TOOLKIT_WINDOWS_SOURCES})
    kolmar_target(kolmar_toolkit)
    target_link_libraries(kolmar_toolkit PUBLIC kolmar_toolkit_core user32 gdi32)
endif()
