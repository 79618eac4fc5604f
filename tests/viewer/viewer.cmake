# The viewer: the run folder look-up alone, then the real window driven through QTest.
sr_add_test(NAME test_viewer_index SOURCES ${CMAKE_CURRENT_LIST_DIR}/RunFolderIndexTest.cpp)
sr_add_test(NAME test_viewer WIDGETS SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/ViewerFixture.h
    ${CMAKE_CURRENT_LIST_DIR}/ViewerNavigationTest.cpp
    ${CMAKE_CURRENT_LIST_DIR}/ViewerPictureTest.cpp
    ${CMAKE_CURRENT_LIST_DIR}/ViewerLayoutTest.cpp)

# Renders the viewer showing a picture into a PNG (not a test): sr_screenshot_viewer OUT.png
add_executable(sr_screenshot_viewer ${CMAKE_CURRENT_LIST_DIR}/ViewerScreenshot.cpp)
target_link_libraries(sr_screenshot_viewer PRIVATE srwidgets)
