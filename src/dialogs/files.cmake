target_sources(srwidgets PRIVATE
    ${CMAKE_CURRENT_LIST_DIR}/FolderLists.cpp ${CMAKE_CURRENT_LIST_DIR}/FolderLists.h
    ${CMAKE_CURRENT_LIST_DIR}/frmFileOpen.cpp ${CMAKE_CURRENT_LIST_DIR}/frmFileOpen.h)
