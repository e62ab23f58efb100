# Time to put a megabyte of stored text on one line, for texts that hold markup or none.
if(benchmark_FOUND)
  add_executable(bench_plainline ${CMAKE_CURRENT_LIST_DIR}/bench_plainline.cpp)
  target_link_libraries(bench_plainline PRIVATE kurierix_readings benchmark::benchmark)
endif()
