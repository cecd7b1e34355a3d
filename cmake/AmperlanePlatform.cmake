# One list of sources per target for both platforms.
#
# A file whose name ends in "_win.cpp" is compiled only by the Windows build, one that ends in
# "_posix.cpp" only by the others. POSIX-only files with other names are listed here, and only
# here. The `windows` test (tests/windows) compiles every target's Windows sources with MinGW-w64
# on every test run, so a file added to a list below is checked as Windows code at once.
set(AMPERLANE_POSIX_ONLY_SOURCES
  "${PROJECT_SOURCE_DIR}/usbdriver/sysfsdevicenodesource.cpp"
)

# Which platforms compile `source` (an absolute path): "windows", "posix" or "both".
function(amperlane_source_platform source out)
  get_filename_component(name "${source}" NAME_WE)
  if(name MATCHES "_win$")
    set(${out} windows PARENT_SCOPE)
  elseif(name MATCHES "_posix$" OR source IN_LIST AMPERLANE_POSIX_ONLY_SOURCES)
    set(${out} posix PARENT_SCOPE)
  else()
    set(${out} both PARENT_SCOPE)
  endif()
endfunction()

# amperlane_target_sources(<target> <sources...>): the sources of a target that has platform
# halves, for both platforms in one list. Adds what this platform compiles; on other platforms
# the Windows-only files are recorded in the target property AMPERLANE_WINDOWS_ONLY_SOURCES, so
# the Windows check finds them beside the target's own sources.
function(amperlane_target_sources target)
  foreach(source IN LISTS ARGN)
    get_filename_component(path "${source}" ABSOLUTE BASE_DIR "${CMAKE_CURRENT_SOURCE_DIR}")
    amperlane_source_platform("${path}" platform)
    if(platform STREQUAL "both" OR (WIN32 AND platform STREQUAL "windows")
       OR (NOT WIN32 AND platform STREQUAL "posix"))
      target_sources(${target} PRIVATE "${path}")
    elseif(platform STREQUAL "windows")
      set_property(TARGET ${target} APPEND PROPERTY AMPERLANE_WINDOWS_ONLY_SOURCES "${path}")
    endif()
  endforeach()
endfunction()
