# Check runs against the site double: throughput, the cost of waiting, and memory.
if(NOT KURIERIX_GUI OR NOT KURIERIX_BROWSER OR NOT TARGET kurierix-sitedouble)
  return()
endif()

add_executable(bench_checkrun ${CMAKE_CURRENT_LIST_DIR}/bench_checkrun.cpp)
target_link_libraries(bench_checkrun PRIVATE kurierix_benchharness)
target_compile_definitions(bench_checkrun PRIVATE KURIERIX_SITEDOUBLE="$<TARGET_FILE:kurierix-sitedouble>")
add_dependencies(bench_checkrun kurierix-sitedouble)
