# Drawing toolkit: shared drawing resources and the mini list-view.
set(KOLMAR_TOOLKIT_CORE_SOURCES
    toolkit/list_view_geometry.cpp
    toolkit/list_view_moves.cpp
    toolkit/list_view_passes.cpp)
set(KOLMAR_TOOLKIT_WINDOWS_SOURCES
    toolkit/drawing_resources.cpp
    toolkit/list_view.cpp)
