# Run by CPack after it made the packages. CPack's debug-symbol package lists its files in
# DEBIAN/md5sums by their paths in the staging folder, not in the package, leaves the symbol
# files executable, and has no copyright: `dpkg --verify` would report every file missing.
# The package is unpacked and packed again the way Debian's own -dbgsym packages are: md5sums
# of the paths it installs, 0644 files, and /usr/share/doc/kurierix-dbgsym a link to the
# program's own documentation. (lintian still notes, as information, that it cannot check where
# the link points without a .changes file; a debug package may not carry an override.)
foreach(package ${CPACK_PACKAGE_FILES})
  if(NOT package MATCHES "-dbgsym_.*\\.ddeb$")
    continue()
  endif()
  set(tree "${package}.tree")
  file(REMOVE_RECURSE "${tree}")
  execute_process(COMMAND dpkg-deb -R "${package}" "${tree}" COMMAND_ERROR_IS_FATAL ANY)
  file(GLOB_RECURSE symbols LIST_DIRECTORIES false RELATIVE "${tree}" "${tree}/usr/*")
  file(CHMOD_RECURSE "${tree}/usr" FILE_PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ
       DIRECTORY_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ
       WORLD_EXECUTE)
  set(md5sums "")
  foreach(file ${symbols})
    file(MD5 "${tree}/${file}" sum)
    string(APPEND md5sums "${sum}  ${file}\n")
  endforeach()
  file(WRITE "${tree}/DEBIAN/md5sums" "${md5sums}")
  file(MAKE_DIRECTORY "${tree}/usr/share/doc")
  file(CREATE_LINK kurierix "${tree}/usr/share/doc/kurierix-dbgsym" SYMBOLIC)
  execute_process(COMMAND dpkg-deb --root-owner-group -Zxz -b "${tree}" "${package}" OUTPUT_QUIET
                  COMMAND_ERROR_IS_FATAL ANY)
  file(REMOVE_RECURSE "${tree}")
endforeach()
