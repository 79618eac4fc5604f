# The image viewer: the run folder look-up needs no widgets; the window does.
target_sources(srcore PRIVATE
    ${CMAKE_CURRENT_LIST_DIR}/RunFolderIndex.cpp ${CMAKE_CURRENT_LIST_DIR}/RunFolderIndex.h)
target_sources(srwidgets PRIVATE
    ${CMAKE_CURRENT_LIST_DIR}/ImageBox.cpp ${CMAKE_CURRENT_LIST_DIR}/ImageBox.h
    ${CMAKE_CURRENT_LIST_DIR}/frmViewer.cpp ${CMAKE_CURRENT_LIST_DIR}/frmViewer.h
    ${CMAKE_CURRENT_LIST_DIR}/frmViewerLayout.cpp)
