target_sources(srcore PRIVATE ${CMAKE_CURRENT_LIST_DIR}/CrawlHost.h ${CMAKE_CURRENT_LIST_DIR}/StringTokens.h ${CMAKE_CURRENT_LIST_DIR}/StringTokens.cpp ${CMAKE_CURRENT_LIST_DIR}/Fetcher.h)
