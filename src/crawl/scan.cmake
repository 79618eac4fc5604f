target_sources(srcore PRIVATE
    ${CMAKE_CURRENT_LIST_DIR}/PageScanner.h ${CMAKE_CURRENT_LIST_DIR}/PageScanner.cpp
    ${CMAKE_CURRENT_LIST_DIR}/ScanPatterns.h ${CMAKE_CURRENT_LIST_DIR}/ScanPatterns.cpp)
