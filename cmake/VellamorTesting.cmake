include(GoogleTest)
find_package(GTest REQUIRED)

# gtest_discover_tests cannot pass a list as one property value, so several
# labels are joined into one ("desktop-x11"); `ctest -L` matches labels as
# regular expressions, so `-L desktop` and `-L x11` both select it.
function(_vellamor_joined_label out)
  string(JOIN "-" joined ${ARGN})
  set(${out} "${joined}" PARENT_SCOPE)
endfunction()

# vellamor_add_test_suite(<name> SOURCES ... LIBRARIES ... LABELS ...)
# Builds one GoogleTest executable and registers each of its cases with CTest
# under the given labels, so `ctest -L <label>` selects an area.
function(vellamor_add_test_suite name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBRARIES;LABELS;ENVIRONMENT" ${ARGN})
  _vellamor_joined_label(label ${ARG_LABELS})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE vellamor_common ${ARG_LIBRARIES} GTest::gmock)
  gtest_discover_tests(${name}
    DISCOVERY_TIMEOUT 60
    PROPERTIES LABELS "${label}" TIMEOUT 120 ENVIRONMENT "${ARG_ENVIRONMENT}")
endfunction()

# vellamor_add_desktop_test_suite(<name> SOURCES ... LIBRARIES ... LABELS ...)
# For suites that need the headless desktop of scripts/desktop-session. Its
# cases are labelled `desktop` (plus LABELS), named "<name>.<Suite>.<Case>" so
# scripts/test can give each suite a desktop session of its own, and never
# run in parallel: they share one keyboard and one screen.
function(vellamor_add_desktop_test_suite name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBRARIES;LABELS;ENVIRONMENT" ${ARGN})
  _vellamor_joined_label(label desktop ${ARG_LABELS})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE vellamor_common ${ARG_LIBRARIES} GTest::gmock)
  gtest_discover_tests(${name}
    TEST_PREFIX "${name}."
    DISCOVERY_TIMEOUT 60
    PROPERTIES LABELS "${label}" TIMEOUT 120 RUN_SERIAL TRUE ENVIRONMENT "${ARG_ENVIRONMENT}")
endfunction()
