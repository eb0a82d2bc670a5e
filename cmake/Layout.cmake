# Where the path settings point by default. A developer build keeps everything
# in the build tree, so a fresh clone runs without root. An installed build
# (DREVALON_INSTALLED_LAYOUT, as scripts/package.sh makes the package) names
# its files relative to the program's own directory, which the program and
# the store tool resolve when they start: the report project in
# share/drevalon, the stores in /var/lib/drevalon, the backups in
# /var/backups/drevalon; so the package also works
# unpacked anywhere (dpkg -x) with the same tree around it.
include(GNUInstallDirs)
option(DREVALON_INSTALLED_LAYOUT "Default the path settings to the installed layout, not the build tree" OFF)
if(DREVALON_INSTALLED_LAYOUT)
  file(RELATIVE_PATH drevalon_data_default "${CMAKE_INSTALL_FULL_BINDIR}" "${CMAKE_INSTALL_FULL_DATADIR}/drevalon")
  file(RELATIVE_PATH drevalon_stores_default "${CMAKE_INSTALL_FULL_BINDIR}"
       "${CMAKE_INSTALL_FULL_LOCALSTATEDIR}/lib/drevalon")
  set(drevalon_alias_default "${drevalon_stores_default}")
  file(RELATIVE_PATH drevalon_backup_default "${CMAKE_INSTALL_FULL_BINDIR}"
       "${CMAKE_INSTALL_FULL_LOCALSTATEDIR}/backups/drevalon")
  set(drevalon_report_default "${drevalon_data_default}/Project1.rav")
  # The games are not part of the package; a shop puts its own there.
  set(drevalon_games_default "/usr/local/games/drevalon")
else()
  set(drevalon_stores_default "${CMAKE_BINARY_DIR}/stores")
  set(drevalon_alias_default "${drevalon_stores_default}/drevalon")
  set(drevalon_backup_default "${CMAKE_BINARY_DIR}/backups")
  set(drevalon_report_default "${CMAKE_SOURCE_DIR}/resources/report/Project1.rav")
  set(drevalon_games_default "${CMAKE_BINARY_DIR}/games")
endif()
