add_executable(sr_screenshot_main ${CMAKE_CURRENT_LIST_DIR}/Screenshots.cpp)
target_link_libraries(sr_screenshot_main PRIVATE srwidgets)
sr_add_test(NAME test_ui SOURCES ${CMAKE_CURRENT_LIST_DIR}/MainWindowTest.cpp
    ${CMAKE_CURRENT_LIST_DIR}/QtWindowSystemTest.cpp WIDGETS)
add_test(NAME x11.EscapeSavesSettings
         COMMAND ${CMAKE_CURRENT_LIST_DIR}/x11_escape_test.sh $<TARGET_FILE:siterambler>)
set_tests_properties(x11.EscapeSavesSettings PROPERTIES SKIP_RETURN_CODE 77 TIMEOUT 120)
sr_add_test(NAME test_ui_crawl SOURCES ${CMAKE_CURRENT_LIST_DIR}/MainWindowCrawlTest.cpp
    LIBS srcrawltestsite WIDGETS)
add_test(NAME x11.CrawlViewAndQuit
         COMMAND ${CMAKE_CURRENT_LIST_DIR}/x11_crawl_test.sh $<TARGET_FILE:siterambler>
                 ${PROJECT_SOURCE_DIR})
set_tests_properties(x11.CrawlViewAndQuit PROPERTIES SKIP_RETURN_CODE 77 TIMEOUT 180)
