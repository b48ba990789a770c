# Fails when an include crosses the layers the wrong way:
#  - a core file (VellamorCore) includes a file of the application or a Qt Gui
#    or Widgets header;
#  - a window (a file of a window family) includes the shell (App/) or the
#    controller of another family, which only the shell creates and wires.
#
#   cmake -DSOURCES=<repository>/Sources -DQT_HEADERS=<Qt's include folder> -P IncludeRules.cmake
#
# Quoted includes resolve as the compiler would: beside the including file,
# then in the core, then in the application, which shares the core's folder
# names (Auth/, Audio/, ...).

cmake_minimum_required(VERSION 3.25)

# Exceptions, as "<file below SOURCES> -> <include>"; none today, and one
# added needs its reason beside it.
set(allowed)

set(window_families SettingsWindow HistoryWindows AccountWindows Diagnostics Onboarding InputSourceWindows Overlay Menu Windows)

if(NOT IS_DIRECTORY "${SOURCES}/VellamorCore" OR NOT IS_DIRECTORY "${SOURCES}/Vellamor")
  message(FATAL_ERROR "SOURCES=${SOURCES} holds no VellamorCore and Vellamor")
endif()

set(gui_headers)
foreach(module QtGui QtWidgets)
  if(IS_DIRECTORY "${QT_HEADERS}/${module}")
    file(GLOB names RELATIVE "${QT_HEADERS}/${module}" "${QT_HEADERS}/${module}/Q*")
    list(APPEND gui_headers ${names})
  endif()
endforeach()
if(NOT gui_headers)
  message(FATAL_ERROR "no Qt Gui or Widgets headers in QT_HEADERS=${QT_HEADERS}")
endif()

# Sets `out` to the includes of `file`, as "<quoted" or ">angled" entries.
function(includes_of file out)
  file(STRINGS "${file}" lines REGEX "^[ \t]*#[ \t]*include[ \t]*[<\"]")
  set(found)
  foreach(line IN LISTS lines)
    if(line MATCHES "include[ \t]*\"([^\"]+)\"")
      list(APPEND found "<${CMAKE_MATCH_1}")
    elseif(line MATCHES "include[ \t]*<([^>]+)>")
      list(APPEND found ">${CMAKE_MATCH_1}")
    endif()
  endforeach()
  set(${out} "${found}" PARENT_SCOPE)
endfunction()

set(violations)
macro(report relative included why)
  if(NOT "${relative} -> ${included}" IN_LIST allowed)
    list(APPEND violations "  ${relative} includes ${included}: ${why}")
  endif()
endmacro()

file(GLOB_RECURSE core_files "${SOURCES}/VellamorCore/*.h" "${SOURCES}/VellamorCore/*.cpp")
foreach(file IN LISTS core_files)
  file(RELATIVE_PATH relative "${SOURCES}" "${file}")
  get_filename_component(folder "${file}" DIRECTORY)
  includes_of("${file}" includes)
  foreach(entry IN LISTS includes)
    string(SUBSTRING "${entry}" 1 -1 included)
    if(entry MATCHES "^<")
      if(NOT EXISTS "${folder}/${included}" AND NOT EXISTS "${SOURCES}/VellamorCore/${included}"
         AND EXISTS "${SOURCES}/Vellamor/${included}")
        report("${relative}" "${included}" "the core includes the application")
      endif()
    else()
      get_filename_component(header "${included}" NAME)
      if(included MATCHES "^Qt(Gui|Widgets)/" OR header IN_LIST gui_headers)
        report("${relative}" "${included}" "the core includes Qt Gui or Widgets")
      endif()
    endif()
  endforeach()
endforeach()

foreach(family IN LISTS window_families)
  file(GLOB_RECURSE window_files "${SOURCES}/Vellamor/${family}/*.h" "${SOURCES}/Vellamor/${family}/*.cpp")
  foreach(file IN LISTS window_files)
    file(RELATIVE_PATH relative "${SOURCES}" "${file}")
    includes_of("${file}" includes)
    foreach(entry IN LISTS includes)
      if(NOT entry MATCHES "^<([^/]+)/(.*)$")
        continue()
      endif()
      set(top "${CMAKE_MATCH_1}")
      set(rest "${CMAKE_MATCH_2}")
      string(SUBSTRING "${entry}" 1 -1 included)
      if(top STREQUAL "App")
        report("${relative}" "${included}" "a window includes the shell")
      elseif(NOT top STREQUAL family AND top IN_LIST window_families AND rest MATCHES "Controller\\.h$"
             AND NOT EXISTS "${SOURCES}/VellamorCore/${included}")
        report("${relative}" "${included}" "a window includes another family's controller")
      endif()
    endforeach()
  endforeach()
endforeach()

if(violations)
  list(JOIN violations "\n" text)
  message(FATAL_ERROR "includes that cross the layers:\n${text}")
endif()
