# Run by CPack on its staging copy of the package, before the DEB generator splits the debug
# symbols off and strips the binaries. The .comment section names only the compiler the
# toolchain's start files were built with; Debian's own packages drop it as they strip.
file(GLOB_RECURSE staged LIST_DIRECTORIES false "${CPACK_TEMPORARY_DIRECTORY}/*")
foreach(file ${staged})
  if(IS_SYMLINK "${file}")
    continue()
  endif()
  file(READ "${file}" magic LIMIT 4 HEX)
  if(magic STREQUAL "7f454c46")
    execute_process(COMMAND objcopy --remove-section=.comment "${file}" RESULT_VARIABLE status)
    if(NOT status EQUAL 0)
      message(FATAL_ERROR "objcopy --remove-section=.comment ${file}: ${status}")
    endif()
  endif()
endforeach()
