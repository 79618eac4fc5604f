# Whole crawls against a server on 127.0.0.1 that misbehaves on purpose.
find_package(ZLIB REQUIRED)

sr_add_test(NAME test_hostile_net SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/HostileServer.cpp
    ${CMAKE_CURRENT_LIST_DIR}/HostileServer.h
    ${CMAKE_CURRENT_LIST_DIR}/HostileServerCrawl.h
    ${CMAKE_CURRENT_LIST_DIR}/HostileServerTransferTest.cpp
    ${CMAKE_CURRENT_LIST_DIR}/HostileServerFloodTest.cpp
    LIBS srnet srcrawltestsite ZLIB::ZLIB)
