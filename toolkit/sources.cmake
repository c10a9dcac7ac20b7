# Drawing toolkit: shared drawing resources and the mini list-view.
set(KOLMAR_TOOLKIT_CORE_SOURCES)
set(KOLMAR_TOOLKIT_WINDOWS_SOURCES
    toolkit/drawing_resources.cpp
    toolkit/list_view.cpp)
