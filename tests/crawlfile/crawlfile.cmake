sr_add_test(NAME test_crawlfile
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/CrawlSettingsFileTest.cpp)
sr_add_test(NAME test_crawlfile_dialogs WIDGETS
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/DialogTestParts.h
            ${CMAKE_CURRENT_LIST_DIR}/SaveDialogTest.cpp
            ${CMAKE_CURRENT_LIST_DIR}/OpenDialogTest.cpp)
