# Download naming and storage, stored pages read back as lines, the crawl run (core), and the
# libcurl transfer (srnet).
target_sources(srcore PRIVATE
    ${CMAKE_CURRENT_LIST_DIR}/Download.h ${CMAKE_CURRENT_LIST_DIR}/Download.cpp
    ${CMAKE_CURRENT_LIST_DIR}/PageLines.h ${CMAKE_CURRENT_LIST_DIR}/PageLines.cpp
    ${CMAKE_CURRENT_LIST_DIR}/CrawlRun.h ${CMAKE_CURRENT_LIST_DIR}/CrawlRun.cpp)
target_sources(srnet PRIVATE
    ${CMAKE_CURRENT_LIST_DIR}/CurlFetcher.h ${CMAKE_CURRENT_LIST_DIR}/CurlFetcher.cpp)
