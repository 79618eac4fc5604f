# The page scan's throughput on a large one-line page and on a many-line page.
add_executable(scan_bench ${CMAKE_CURRENT_LIST_DIR}/scan_bench.cpp)
target_link_libraries(scan_bench PRIVATE srcore)
