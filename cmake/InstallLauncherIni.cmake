# Install step for launcher.ini, which names the version the launcher starts
# (AMPERLANE_INSTALLED_VERSION is the version being installed).
#
# An installation writes it as an update does: a build newer than the version named there takes
# its place and records that version as last_launcher_ver, so at the next start the program copies
# the user's settings over from it and removes it. An older or equal build leaves the file alone.
set(ini "$ENV{DESTDIR}${CMAKE_INSTALL_PREFIX}/launcher.ini")
set(current "")
if(EXISTS "${ini}")
  file(STRINGS "${ini}" lines)
  foreach(line IN LISTS lines)
    string(STRIP "${line}" line)
    if(line MATCHES "^launcher_ver=(.*)$")
      set(current "${CMAKE_MATCH_1}")
    endif()
  endforeach()
endif()

if(NOT current STREQUAL "" AND NOT current VERSION_LESS AMPERLANE_INSTALLED_VERSION)
  message(STATUS "Up-to-date: ${ini} (launcher_ver=${current})")
  return()
endif()
message(STATUS "Installing: ${ini}")
file(WRITE "${ini}"
     "[General]\nlauncher_ver=${AMPERLANE_INSTALLED_VERSION}\nlast_launcher_ver=${current}\n")
