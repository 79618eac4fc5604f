sr_add_test(NAME test_folderchooser WIDGETS
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/FolderChooserTest.cpp)
