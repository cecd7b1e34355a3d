# Runs the install step of launcher.ini for each case below into a fresh prefix and checks what it
# leaves. Arguments: -DBUILD_DIR=<build folder> -DWORK_DIR=<scratch folder> -DVERSION=<version>.
set(cases
  # launcher.ini before                                  | launcher_ver after | last_launcher_ver after
  "none|${VERSION}|"
  "[General]\nlauncher_ver=1.0.0.9\n|${VERSION}|1.0.0.9"
  "[General]\r\nlauncher_ver=0.9\r\nlast_launcher_ver=0.8\r\n|${VERSION}|0.9"
  "[General]\nlauncher_ver=${VERSION}\nlast_launcher_ver=kept\n|${VERSION}|kept"
  "[General]\nlauncher_ver=99.0\n|99.0|"
)
foreach(case IN LISTS cases)
  string(REPLACE "|" ";" parts "${case}")
  list(GET parts 0 before)
  list(GET parts 1 expectedCurrent)
  list(LENGTH parts n)
  set(expectedLast "")
  if(n GREATER 2)
    list(GET parts 2 expectedLast)
  endif()
  file(REMOVE_RECURSE "${WORK_DIR}")
  file(MAKE_DIRECTORY "${WORK_DIR}")
  if(NOT before STREQUAL "none")
    file(WRITE "${WORK_DIR}/launcher.ini" "${before}")
  endif()
  execute_process(COMMAND "${CMAKE_COMMAND}" --install "${BUILD_DIR}" --prefix "${WORK_DIR}"
                          --component launcher_ini
                  RESULT_VARIABLE result OUTPUT_QUIET)
  set(current "")
  set(last "")
  file(STRINGS "${WORK_DIR}/launcher.ini" lines)
  foreach(line IN LISTS lines)
    string(STRIP "${line}" line)
    if(line MATCHES "^launcher_ver=(.*)$")
      set(current "${CMAKE_MATCH_1}")
    elseif(line MATCHES "^last_launcher_ver=(.*)$")
      set(last "${CMAKE_MATCH_1}")
    endif()
  endforeach()
  if(NOT result EQUAL 0 OR NOT current STREQUAL expectedCurrent OR NOT last STREQUAL expectedLast)
    message(SEND_ERROR "before: ${before}\n  install result ${result}, launcher_ver=${current} "
                       "last_launcher_ver=${last}; expected ${expectedCurrent} / ${expectedLast}")
  endif()
endforeach()
file(REMOVE_RECURSE "${WORK_DIR}")
