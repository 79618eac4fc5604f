# The viewer's searches and refresh over large run folders (a program, not a test).
add_executable(viewer_bench ${CMAKE_CURRENT_LIST_DIR}/viewer_bench.cpp)
target_link_libraries(viewer_bench PRIVATE srwidgets)
