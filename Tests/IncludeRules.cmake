# Fails when an include crosses the layers the wrong way. Each layer has a
# source folder of its own below SOURCES and may include only itself and the
# layers under it:
#   VellamorCore       the core
#   VellamorPlatform   the core
#   VellamorViewKit    the core
#   VellamorWindows    the core, the platform layer, the view kit
#   Vellamor           every layer (the shell)
# It also fails when
#  - a core file includes a Qt Gui or Widgets header;
#  - a window family (a folder of VellamorWindows) includes the controller of
#    another family, which only the shell creates and wires;
#  - two layers hold a folder of the same name, so that an include line no
#    longer says which layer it reaches.
# In the full build the compiler refuses most of these too, because each
# library sees only the include folders of the layers it links; this test
# also holds the core-only build, and says why.
#
#   cmake -DSOURCES=<repository>/Sources -DQT_HEADERS=<Qt's include folder> -P IncludeRules.cmake
#
# Quoted includes resolve as the compiler would: beside the including file,
# then in the layers' folders.

cmake_minimum_required(VERSION 3.25)

# Exceptions, as "<file below SOURCES> -> <include>"; none today, and one
# added needs its reason beside it.
set(allowed)

set(layers VellamorCore VellamorPlatform VellamorViewKit VellamorWindows Vellamor)
set(VellamorCore_uses)
set(VellamorPlatform_uses VellamorCore)
set(VellamorViewKit_uses VellamorCore)
set(VellamorWindows_uses VellamorCore VellamorPlatform VellamorViewKit)
set(Vellamor_uses VellamorCore VellamorPlatform VellamorViewKit VellamorWindows)

foreach(layer IN LISTS layers)
  if(NOT IS_DIRECTORY "${SOURCES}/${layer}")
    message(FATAL_ERROR "SOURCES=${SOURCES} holds no ${layer}")
  endif()
endforeach()

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

# Each top folder belongs to one layer.
foreach(layer IN LISTS layers)
  file(GLOB entries RELATIVE "${SOURCES}/${layer}" "${SOURCES}/${layer}/*")
  foreach(entry IN LISTS entries)
    if(IS_DIRECTORY "${SOURCES}/${layer}/${entry}")
      if(DEFINED owner_${entry})
        list(APPEND violations "  ${entry}/ is a folder of both ${owner_${entry}} and ${layer}")
      else()
        set(owner_${entry} ${layer})
      endif()
    endif()
  endforeach()
endforeach()

file(GLOB families RELATIVE "${SOURCES}/VellamorWindows" "${SOURCES}/VellamorWindows/*")
list(FILTER families EXCLUDE REGEX "\\.")

foreach(layer IN LISTS layers)
  file(GLOB_RECURSE files "${SOURCES}/${layer}/*.h" "${SOURCES}/${layer}/*.cpp")
  foreach(file IN LISTS files)
    file(RELATIVE_PATH relative "${SOURCES}" "${file}")
    file(RELATIVE_PATH inside "${SOURCES}/${layer}" "${file}")
    string(REGEX REPLACE "/.*" "" family "${inside}")
    get_filename_component(folder "${file}" DIRECTORY)
    includes_of("${file}" includes)
    foreach(entry IN LISTS includes)
      string(SUBSTRING "${entry}" 1 -1 included)
      if(entry MATCHES "^>")
        get_filename_component(header "${included}" NAME)
        if(layer STREQUAL "VellamorCore" AND (included MATCHES "^Qt(Gui|Widgets)/" OR header IN_LIST gui_headers))
          report("${relative}" "${included}" "the core includes Qt Gui or Widgets")
        endif()
        continue()
      endif()
      if(EXISTS "${folder}/${included}" OR NOT included MATCHES "^([^/]+)/(.*)$")
        continue()
      endif()
      set(top "${CMAKE_MATCH_1}")
      set(rest "${CMAKE_MATCH_2}")
      if(NOT DEFINED owner_${top} OR NOT EXISTS "${SOURCES}/${owner_${top}}/${included}")
        continue()
      endif()
      set(reached ${owner_${top}})
      if(reached STREQUAL layer)
        if(layer STREQUAL "VellamorWindows" AND NOT top STREQUAL family AND rest MATCHES "Controller\\.h$")
          report("${relative}" "${included}" "a window includes another family's controller")
        endif()
      elseif(NOT reached IN_LIST ${layer}_uses)
        if(reached STREQUAL "Vellamor")
          report("${relative}" "${included}" "${layer} includes the shell")
        else()
          report("${relative}" "${included}" "${layer} includes ${reached}, which is not under it")
        endif()
      endif()
    endforeach()
  endforeach()
endforeach()

if(violations)
  list(JOIN violations "\n" text)
  message(FATAL_ERROR "includes that cross the layers:\n${text}")
endif()
