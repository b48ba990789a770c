include(GoogleTest)
find_package(GTest REQUIRED)

# vellamor_add_test_suite(<name> SOURCES ... LIBRARIES ... LABELS ...)
# Builds one GoogleTest executable and registers each of its cases with CTest
# under the given labels, so `ctest -L <label>` selects an area.
function(vellamor_add_test_suite name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBRARIES;LABELS;ENVIRONMENT" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE vellamor_common ${ARG_LIBRARIES} GTest::gmock)
  gtest_discover_tests(${name}
    DISCOVERY_TIMEOUT 60
    PROPERTIES LABELS "${ARG_LABELS}" TIMEOUT 120 ENVIRONMENT "${ARG_ENVIRONMENT}")
endfunction()
