# scanner_differential_fuzzer: a libFuzzer target that runs the library's
# scanner and the flex oracle side by side (fuzz/scanner_differential.cpp).
# Built only with -DTAMRIX_MAP_BUILD_FUZZERS=ON and clang; the library's
# sources are compiled into it again, instrumented.
option(TAMRIX_MAP_BUILD_FUZZERS "Build the fuzz targets (needs clang)" OFF)
if(TAMRIX_MAP_BUILD_FUZZERS AND CMAKE_CXX_COMPILER_ID MATCHES "Clang")
  include(${CMAKE_CURRENT_LIST_DIR}/reader_oracles.cmake)
  tamrix_map_scanner_oracle(differential_oracle_sources)
  get_target_property(differential_library_sources tamrix_map_internal SOURCES)
  add_executable(scanner_differential_fuzzer
    ${PROJECT_SOURCE_DIR}/fuzz/scanner_differential.cpp
    ${differential_library_sources}
    ${differential_oracle_sources})
  target_include_directories(scanner_differential_fuzzer PRIVATE
    ${PROJECT_SOURCE_DIR}/include
    ${PROJECT_SOURCE_DIR}/api
    ${PROJECT_SOURCE_DIR}/records
    ${PROJECT_SOURCE_DIR}/reader
    ${PROJECT_SOURCE_DIR}/tests/oracle
    ${CMAKE_CURRENT_BINARY_DIR}/oracle)
  target_compile_definitions(scanner_differential_fuzzer PRIVATE TAMRIX_MAP_BUILDING)
  target_compile_options(scanner_differential_fuzzer PRIVATE -g -fsanitize=fuzzer,address,undefined)
  target_link_options(scanner_differential_fuzzer PRIVATE -fsanitize=fuzzer,address,undefined)
endif()
