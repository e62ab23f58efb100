# The project's headers are named from its root ("store/ParcelStore.h"), by the library that holds
# them and by whoever includes them. A library links this PUBLIC, since its headers are included
# by that name (and include each other so); an executable links it PRIVATE.
add_library(kurierix_root INTERFACE)
target_include_directories(kurierix_root INTERFACE ${PROJECT_SOURCE_DIR})

# kurierix_sources(<var> <dir>): the C++ sources and headers of one folder.
# Each subsystem folder is one library; new files join it without editing the build. Where the
# system is met directly, a file ending in _posix.cpp has a twin ending in _win.cpp: the build
# takes the one for the system it builds for.
function(kurierix_sources var dir)
  file(GLOB found CONFIGURE_DEPENDS "${dir}/*.cpp" "${dir}/*.h")
  kurierix_platform_files(found)
  set(${var} ${found} PARENT_SCOPE)
endfunction()

# kurierix_platform_files(<var>): the list without the other system's files.
function(kurierix_platform_files var)
  set(files ${${var}})
  if(WIN32)
    list(FILTER files EXCLUDE REGEX "_posix\\.cpp$")
  else()
    list(FILTER files EXCLUDE REGEX "_win\\.cpp$")
  endif()
  set(${var} ${files} PARENT_SCOPE)
endfunction()

# What the sanitizers are told in every test. The browser engine frees some of its objects with
# a size other than the one they were made with (inside the engine, which is not instrumented),
# so that check is off; leaks inside the libraries we only call are suppressed, ours are not.
set(KURIERIX_SANITIZER_ENVIRONMENT
  "ASAN_OPTIONS=detect_leaks=1:new_delete_type_mismatch=0"
  "LSAN_OPTIONS=suppressions=${PROJECT_SOURCE_DIR}/tests/sanitizer/lsan.supp:print_suppressions=0"
  "UBSAN_OPTIONS=print_stacktrace=1")

# kurierix_add_test(<name> SOURCES ... LIBS ... [LABELS ...] [TIMEOUT s])
# One test executable, registered with CTest and run headless with a fixed locale, and with a
# session bus address where no bus listens: no test shows a notification on a developer's desktop.
function(kurierix_add_test name)
  cmake_parse_arguments(T "" "TIMEOUT" "SOURCES;LIBS;LABELS" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE ${T_LIBS} kurierix_testsupport GTest::gtest GTest::gmock)
  target_compile_definitions(${name} PRIVATE
    KURIERIX_TEST_DATA="${PROJECT_SOURCE_DIR}/tests/data"
    KURIERIX_BINARY_DIR="${PROJECT_BINARY_DIR}")
  add_test(NAME ${name} COMMAND ${name})
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 300)
  endif()
  set_tests_properties(${name} PROPERTIES
    TIMEOUT ${T_TIMEOUT}
    LABELS "${T_LABELS}"
    ENVIRONMENT "QT_QPA_PLATFORM=offscreen;DBUS_SESSION_BUS_ADDRESS=unix:path=/nonexistent/kurierix-test-bus;LC_ALL=C.UTF-8;LANG=C.UTF-8;TZ=UTC;QTWEBENGINE_DISABLE_SANDBOX=1;QTWEBENGINE_CHROMIUM_FLAGS=--no-sandbox --disable-gpu --disable-background-networking --disable-component-update;${KURIERIX_SANITIZER_ENVIRONMENT}")
endfunction()

# kurierix_add_tests_in(<dir> LIBS ... [LABELS ...]): every test_<name>.cpp in <dir> becomes
# the test executable <prefix>_<name> (a test_<name>_posix.cpp only where files have modes and
# signals, a test_<name>_win.cpp only on Windows).
function(kurierix_add_tests_in dir prefix)
  cmake_parse_arguments(T "" "TIMEOUT" "LIBS;LABELS" ${ARGN})
  file(GLOB tests CONFIGURE_DEPENDS "${dir}/test_*.cpp")
  kurierix_platform_files(tests)
  foreach(src ${tests})
    get_filename_component(stem ${src} NAME_WE)
    string(REGEX REPLACE "^test_" "" stem ${stem})
    kurierix_add_test(${prefix}_${stem} SOURCES ${src} LIBS ${T_LIBS} LABELS ${T_LABELS} TIMEOUT ${T_TIMEOUT})
  endforeach()
endfunction()
