# The updater's reader of the machine's settings (MachineSettings,
# OrvLiteEnvironment): QtCore alone, so that the settings fuzz target links
# it without widgets.
add_library(zorellz_settings STATIC ${PROJECT_SOURCE_DIR}/app/MachineSettings.cpp
                                    ${PROJECT_SOURCE_DIR}/app/OrvLiteEnvironment.cpp)
target_include_directories(zorellz_settings PUBLIC ${PROJECT_SOURCE_DIR})
target_link_libraries(zorellz_settings PUBLIC zorellz_archive Qt6::Core)
