# Settings persistence and the configuration box.
set(KOLMAR_CONFIG_CORE_SOURCES)
set(KOLMAR_CONFIG_WINDOWS_SOURCES
    config/config_box.cpp
    config/settings.cpp)
