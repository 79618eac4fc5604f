# Saving and loading a crawl settings file with a long link queue.
add_executable(crawlfile_bench ${CMAKE_CURRENT_LIST_DIR}/crawlfile_bench.cpp)
target_link_libraries(crawlfile_bench PRIVATE srcore)
