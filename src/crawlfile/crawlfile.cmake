target_sources(srcore PRIVATE
    ${CMAKE_CURRENT_LIST_DIR}/CrawlSettingsFile.cpp ${CMAKE_CURRENT_LIST_DIR}/CrawlSettingsFile.h)
target_sources(srwidgets PRIVATE
    ${CMAKE_CURRENT_LIST_DIR}/frmFileOpen3.cpp ${CMAKE_CURRENT_LIST_DIR}/frmFileOpen3.h
    ${CMAKE_CURRENT_LIST_DIR}/frmFileOpen2.cpp ${CMAKE_CURRENT_LIST_DIR}/frmFileOpen2.h)
