# Inputs the fuzz targets once failed on. The API-level cases always build; the replay of the
# kept inputs (tests/fuzz/corpus/*/regression_*) through the fuzz targets' own checks needs
# FuzzedDataProvider.h, which comes with clang's runtime package, and is left out without it.
set(_fuzz_tests ${CMAKE_CURRENT_LIST_DIR}/fuzz_regressions.cpp)
file(GLOB _fdp_header /usr/lib/llvm-*/lib/clang/*/include/fuzzer/FuzzedDataProvider.h)
if(_fdp_header)
    list(GET _fdp_header 0 _fdp_header)
    # Only this header: clang's other headers in that folder must not reach gcc.
    configure_file(${_fdp_header} ${CMAKE_CURRENT_BINARY_DIR}/fuzzinc/fuzzer/FuzzedDataProvider.h
        COPYONLY)
    set(_replayed profile crawl_settings page_scan extension file_numbers)
    foreach(_target IN LISTS _replayed)
        set(_source ${PROJECT_SOURCE_DIR}/tests/fuzz/fuzz_${_target}.cpp)
        list(APPEND _fuzz_tests ${_source})
        set_source_files_properties(${_source} PROPERTIES COMPILE_DEFINITIONS
            "SR_FUZZ_CHECK_THROWS;LLVMFuzzerTestOneInput=FuzzOneInput_${_target}")
    endforeach()
endif()
sr_add_test(NAME test_fuzz_regressions SOURCES ${_fuzz_tests})
if(_fdp_header)
    target_include_directories(test_fuzz_regressions PRIVATE ${CMAKE_CURRENT_BINARY_DIR}/fuzzinc
        ${PROJECT_SOURCE_DIR}/tests/fuzz)
    target_compile_definitions(test_fuzz_regressions PRIVATE SR_FUZZ_REPLAY)
endif()
