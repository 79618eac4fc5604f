# Options dialog, manual viewer and About box: the rules without windows, then the windows.
set(_dlgt ${CMAKE_CURRENT_LIST_DIR})
sr_add_test(NAME test_dialogs_rules SOURCES
    ${_dlgt}/OptionRulesTest.cpp ${_dlgt}/HelpManualTest.cpp ${_dlgt}/AboutFadeTest.cpp)
sr_add_test(NAME test_dialogs_windows SOURCES
    ${_dlgt}/OptionWindowTest.cpp ${_dlgt}/HelpWindowTest.cpp ${_dlgt}/AboutWindowTest.cpp
    WIDGETS)
# Renders the options dialog and the About box to PNG files: about_option_shots <folder>
add_executable(about_option_shots ${_dlgt}/AboutOptionShots.cpp)
target_link_libraries(about_option_shots PRIVATE srwidgets)
