# The parts of a Windows installation that do not come from this source tree:
#
#   <prefix>/Amperlane.exe                  the launcher, with the Qt and compiler runtime it needs
#   <prefix>/launcher.ini                   (launcher/CMakeLists.txt)
#   <prefix>/<version>/Amperlane.exe        the program, with Qt's libraries, plugins and the web
#                                           engine (windeployqt) and the compiler runtime
#   <prefix>/<version>/build/               the page (web/CMakeLists.txt)
#   <prefix>/<version>/halyard.dll          (halyard/CMakeLists.txt)
#   <prefix>/<version>/7z.exe, 7z.dll       7-Zip, from AMPERLANE_SEVEN_ZIP_DIR
#   <prefix>/<version>/win/                 the NUT scripts and configuration (nut/CMakeLists.txt)
#   <prefix>/<version>/win/x86_64-w64-mingw32-nut-server/
#                                           the NUT build for Windows, from AMPERLANE_NUT_WINDOWS_DIR

set(AMPERLANE_SEVEN_ZIP_DIR "" CACHE PATH "Folder holding 7-Zip's 7z.exe and 7z.dll")
set(AMPERLANE_NUT_WINDOWS_DIR "" CACHE PATH
    "The NUT build for Windows (the folder holding bin/upsc.exe, sbin/upsd.exe, sbin/upsdrvctl.exe)")

foreach(file IN ITEMS 7z.exe 7z.dll)
  if(NOT EXISTS "${AMPERLANE_SEVEN_ZIP_DIR}/${file}")
    message(FATAL_ERROR "AMPERLANE_SEVEN_ZIP_DIR must name the folder of 7-Zip's ${file}")
  endif()
endforeach()
foreach(file IN ITEMS bin/upsc.exe sbin/upsd.exe sbin/upsdrvctl.exe)
  if(NOT EXISTS "${AMPERLANE_NUT_WINDOWS_DIR}/${file}")
    message(FATAL_ERROR "AMPERLANE_NUT_WINDOWS_DIR must name the NUT build for Windows "
                        "(${file} is missing there)")
  endif()
endforeach()

install(PROGRAMS "${AMPERLANE_SEVEN_ZIP_DIR}/7z.exe" "${AMPERLANE_SEVEN_ZIP_DIR}/7z.dll"
        DESTINATION "${AMPERLANE_VERSION_DIR}")
install(DIRECTORY "${AMPERLANE_NUT_WINDOWS_DIR}/"
        DESTINATION "${AMPERLANE_VERSION_DIR}/win/x86_64-w64-mingw32-nut-server"
        USE_SOURCE_PERMISSIONS)

# The compiler's runtime libraries, beside both executables.
set(CMAKE_INSTALL_SYSTEM_RUNTIME_LIBS_SKIP TRUE)
include(InstallRequiredSystemLibraries)
if(CMAKE_INSTALL_SYSTEM_RUNTIME_LIBS)
  install(PROGRAMS ${CMAKE_INSTALL_SYSTEM_RUNTIME_LIBS} DESTINATION "${AMPERLANE_VERSION_DIR}")
  install(PROGRAMS ${CMAKE_INSTALL_SYSTEM_RUNTIME_LIBS} DESTINATION .)
endif()

# Qt beside both executables: windeployqt copies the libraries, plugins, the web engine's process
# and resources that each one needs. It runs after the executables are installed.
get_target_property(qmake Qt6::qmake IMPORTED_LOCATION)
get_filename_component(qt_bin "${qmake}" DIRECTORY)
find_program(AMPERLANE_WINDEPLOYQT NAMES windeployqt windeployqt6 HINTS "${qt_bin}" REQUIRED)
install(CODE "
  set(top \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}\")
  foreach(folder IN ITEMS \"\${top}/${AMPERLANE_VERSION_DIR}\" \"\${top}\")
    execute_process(COMMAND \"${AMPERLANE_WINDEPLOYQT}\" --release --no-compiler-runtime
                            --dir \"\${folder}\" \"\${folder}/Amperlane.exe\"
                    COMMAND_ERROR_IS_FATAL ANY)
  endforeach()
")
