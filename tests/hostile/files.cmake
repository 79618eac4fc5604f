# Hostile files: settings and crawl settings files, run folders, pictures and manuals that try
# to crash, hang or exhaust the program; and crawls, deletions and saves that must never touch
# anything outside the one folder or file they work on.
sr_add_test(NAME test_hostile_files WIDGETS SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/HostileFilesSupport.h
    ${CMAKE_CURRENT_LIST_DIR}/HostileFilesProfileTest.cpp
    ${CMAKE_CURRENT_LIST_DIR}/HostileFilesFolderTest.cpp
    ${CMAKE_CURRENT_LIST_DIR}/HostileFilesPictureTest.cpp
    ${CMAKE_CURRENT_LIST_DIR}/HostileFilesManualTest.cpp)
sr_add_test(NAME test_hostile_outside WIDGETS SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/HostileFilesSupport.h
    ${CMAKE_CURRENT_LIST_DIR}/OutsideFolderCrawlTest.cpp
    ${CMAKE_CURRENT_LIST_DIR}/OutsideFolderDeleteTest.cpp
    LIBS srnet srcrawltestsite)
