# Run at install time, when CMAKE_INSTALL_PREFIX is the prefix really installed to (the package's
# /usr, or what `cmake --install --prefix` names). packaging/CMakeLists.txt sets the KURIERIX_*
# folders before.
#
# The menu entry and the background check's user service name the launcher by its full path.
# The user units go where `systemd --user` looks for them: under /usr in lib/systemd/user, as
# Debian has it; under any other prefix in share/systemd/user, which the user manager reads for
# $XDG_DATA_HOME (~/.local/share) and every entry of $XDG_DATA_DIRS (/usr/local/share among
# them). The service and its timer are installed but never enabled: the user switches them on
# with `systemctl --user enable --now kurierix-check.timer`.
# The manual page and the changelog are compressed as Debian wants them: gzip -9, without the
# file's name and time, so that a rebuild gives the same bytes.

set(KURIERIX_LAUNCHER "${CMAKE_INSTALL_PREFIX}/${KURIERIX_BINDIR}/kurierix-launcher")
if(CMAKE_INSTALL_PREFIX STREQUAL "/usr")
  set(unitdir lib/systemd/user)
else()
  set(unitdir ${KURIERIX_DATADIR}/systemd/user)
endif()

set(staged "${KURIERIX_STAGING_DIR}")
file(REMOVE_RECURSE "${staged}")
set(packaging "${KURIERIX_SOURCE_DIR}/packaging")
configure_file("${packaging}/kurierix.desktop.in" "${staged}/kurierix.desktop" @ONLY)
configure_file("${packaging}/kurierix-check.service.in" "${staged}/kurierix-check.service" @ONLY)
configure_file("${packaging}/kurierix-check.timer" "${staged}/kurierix-check.timer" COPYONLY)
foreach(pair "docs/kurierix.1;kurierix.1.gz" "packaging/changelog;changelog.gz")
  list(GET pair 0 source)
  list(GET pair 1 target)
  execute_process(COMMAND gzip -9 -n -c "${KURIERIX_SOURCE_DIR}/${source}" OUTPUT_FILE "${staged}/${target}"
                  RESULT_VARIABLE status)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "gzip ${source}: ${status}")
  endif()
endforeach()
# The launcher's page is the program's, which describes both.
file(CREATE_LINK kurierix.1.gz "${staged}/kurierix-launcher.1.gz" SYMBOLIC)

set(mode PERMISSIONS ${KURIERIX_DATA_PERMISSIONS})
file(INSTALL "${staged}/kurierix.desktop" DESTINATION "${CMAKE_INSTALL_PREFIX}/${KURIERIX_DATADIR}/applications" ${mode})
file(INSTALL "${staged}/kurierix-check.service" "${staged}/kurierix-check.timer"
     DESTINATION "${CMAKE_INSTALL_PREFIX}/${unitdir}" ${mode})
file(INSTALL "${staged}/kurierix.1.gz" "${staged}/kurierix-launcher.1.gz"
     DESTINATION "${CMAKE_INSTALL_PREFIX}/${KURIERIX_MANDIR}/man1" ${mode})
file(INSTALL "${staged}/changelog.gz" DESTINATION "${CMAKE_INSTALL_PREFIX}/${KURIERIX_DOCDIR}" ${mode})
