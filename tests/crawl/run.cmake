# Download naming, stored pages read back as lines, the libcurl transfer and whole crawl runs,
# all against web sites served in-process on 127.0.0.1.
find_package(PkgConfig REQUIRED)
pkg_check_modules(SR_HTTPLIB REQUIRED IMPORTED_TARGET cpp-httplib)
find_package(ZLIB REQUIRED)
find_package(Threads REQUIRED)

add_library(srcrawltestsite STATIC
    ${CMAKE_CURRENT_LIST_DIR}/support/LoopbackSite.cpp
    ${CMAKE_CURRENT_LIST_DIR}/support/LoopbackSite.h
    ${CMAKE_CURRENT_LIST_DIR}/support/FakeCrawlHost.h)
target_include_directories(srcrawltestsite PUBLIC ${CMAKE_CURRENT_LIST_DIR}/support)
target_link_libraries(srcrawltestsite PUBLIC srcore PkgConfig::SR_HTTPLIB ZLIB::ZLIB
    Threads::Threads)

sr_add_test(NAME test_crawl_download SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/DownloadTest.cpp
    ${CMAKE_CURRENT_LIST_DIR}/DownloadPageLinesTest.cpp
    ${CMAKE_CURRENT_LIST_DIR}/CurlFetcherTest.cpp
    LIBS srnet srcrawltestsite)

sr_add_test(NAME test_crawl_run SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/CrawlRunTest.cpp
    ${CMAKE_CURRENT_LIST_DIR}/CrawlRunSiteTest.cpp
    ${CMAKE_CURRENT_LIST_DIR}/support/CrawlFixture.h
    LIBS srnet srcrawltestsite)
