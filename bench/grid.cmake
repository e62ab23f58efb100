# RefreshGrid over 10,000 parcels in the program's main window.
if(NOT KURIERIX_GUI OR NOT KURIERIX_BROWSER OR NOT benchmark_FOUND)
  return()
endif()

add_executable(bench_grid ${CMAKE_CURRENT_LIST_DIR}/bench_grid.cpp)
target_link_libraries(bench_grid PRIVATE kurierix_benchharness benchmark::benchmark)
