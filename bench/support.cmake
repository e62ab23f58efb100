# What the benchmarks share. kurierix_benchsupport (bench/support/) needs Qt alone: /proc
# readings, medians, report lines and the first-exposure report, so that the bare-window floor
# of the start-up benchmark links nothing of the program. kurierix_benchharness
# (bench/harness/) builds on the program: the parcels and fixtures, the site double as a
# process, and the main window with timing marks.
if(NOT KURIERIX_GUI OR NOT KURIERIX_BROWSER)
  return()
endif()

file(GLOB bench_support_sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_LIST_DIR}/support/*.cpp
     ${CMAKE_CURRENT_LIST_DIR}/support/*.h)
add_library(kurierix_benchsupport STATIC ${bench_support_sources})
target_link_libraries(kurierix_benchsupport PUBLIC kurierix_root Qt6::Widgets)

file(GLOB bench_harness_sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_LIST_DIR}/harness/*.cpp
     ${CMAKE_CURRENT_LIST_DIR}/harness/*.h)
add_library(kurierix_benchharness STATIC ${bench_harness_sources})
# The timed window derives from the main window; the fixtures write the database themselves.
target_link_libraries(kurierix_benchharness PUBLIC kurierix_benchsupport kurierix_app PRIVATE kurierix_store PkgConfig::SQLITE3)
# The benchmarks are not beside the program, where it looks for the browser module: they name it.
target_compile_definitions(kurierix_benchharness PRIVATE KURIERIX_BROWSER_MODULE_BUILT="$<TARGET_FILE:kurierix-browser>")
add_dependencies(kurierix_benchharness kurierix-browser)
