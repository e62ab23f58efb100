# Start-up against a bare window: the driver and the two programs it starts.
if(NOT KURIERIX_GUI OR NOT KURIERIX_BROWSER)
  return()
endif()

# The harness loads the window's module as the program does.
add_executable(bench_startup_app ${CMAKE_CURRENT_LIST_DIR}/startup_app.cpp ${PROJECT_SOURCE_DIR}/app/ProgramSettings.cpp)
target_link_libraries(bench_startup_app PRIVATE kurierix_tracking kurierix_benchsupport)
target_compile_definitions(bench_startup_app PRIVATE KURIERIX_WINDOW_MODULE_BUILT="$<TARGET_FILE:kurierix-window>")
add_dependencies(bench_startup_app kurierix-window)

add_executable(bench_startup_bare ${CMAKE_CURRENT_LIST_DIR}/startup_bare.cpp)
target_link_libraries(bench_startup_bare PRIVATE kurierix_benchsupport)

add_executable(bench_startup ${CMAKE_CURRENT_LIST_DIR}/bench_startup.cpp)
target_link_libraries(bench_startup PRIVATE kurierix_benchharness)
target_compile_definitions(bench_startup PRIVATE
  KURIERIX_STARTUP_APP="$<TARGET_FILE:bench_startup_app>"
  KURIERIX_STARTUP_BARE="$<TARGET_FILE:bench_startup_bare>")
add_dependencies(bench_startup bench_startup_app bench_startup_bare)
