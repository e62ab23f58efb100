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
# The launcher's page is the program's, which describes both.
file(CREATE_LINK kurierix.1 "${staged}/kurierix-launcher.1" SYMBOLIC)

set(mode PERMISSIONS ${KURIERIX_DATA_PERMISSIONS})
file(INSTALL "${staged}/kurierix.desktop" DESTINATION "${CMAKE_INSTALL_PREFIX}/${KURIERIX_DATADIR}/applications" ${mode})
file(INSTALL "${staged}/kurierix-check.service" "${staged}/kurierix-check.timer"
     DESTINATION "${CMAKE_INSTALL_PREFIX}/${unitdir}" ${mode})
foreach(dir man1 ru/man1)
  file(INSTALL "${staged}/kurierix-launcher.1" DESTINATION "${CMAKE_INSTALL_PREFIX}/${KURIERIX_MANDIR}/${dir}")
endforeach()
