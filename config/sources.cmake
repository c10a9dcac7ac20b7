# Settings persistence and the configuration box. The key text, the box's
# geometry and its texts build natively too.
set(KOLMAR_CONFIG_CORE_SOURCES
    config/config_box_layout.cpp
    config/settings_key.cpp)
set(KOLMAR_CONFIG_WINDOWS_SOURCES
    config/config_box.cpp
    config/settings.cpp)
