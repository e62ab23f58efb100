# Throughput of the result extraction on a saved page and on a long event table.
if(benchmark_FOUND)
  add_executable(bench_extraction ${CMAKE_CURRENT_LIST_DIR}/bench_extraction.cpp)
  target_link_libraries(bench_extraction PRIVATE kurierix_extraction benchmark::benchmark)
  target_compile_definitions(bench_extraction PRIVATE KURIERIX_TEST_DATA="${PROJECT_SOURCE_DIR}/tests/data")
endif()
