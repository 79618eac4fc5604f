sr_add_test(NAME test_scan SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/StringTokensTest.cpp
    ${CMAKE_CURRENT_LIST_DIR}/ScanPatternsTest.cpp
    ${CMAKE_CURRENT_LIST_DIR}/ScanResolveTest.cpp
    ${CMAKE_CURRENT_LIST_DIR}/ScanLineTest.cpp)
