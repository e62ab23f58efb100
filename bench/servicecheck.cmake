# kurierix --check through the tracking-service double, beside the tracking-site double.
if(NOT KURIERIX_GUI OR NOT KURIERIX_BROWSER OR NOT TARGET kurierix_servicedouble OR NOT TARGET kurierix_sitedouble)
  return()
endif()

add_executable(bench_servicecheck ${CMAKE_CURRENT_LIST_DIR}/bench_servicecheck.cpp)
target_link_libraries(bench_servicecheck PRIVATE kurierix_benchharness kurierix_servicedouble kurierix_sitedouble)
target_compile_definitions(bench_servicecheck PRIVATE KURIERIX_PROGRAM="$<TARGET_FILE:kurierix>")
add_dependencies(bench_servicecheck kurierix kurierix-service)
