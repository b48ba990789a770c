# Settings every target of the project shares: language level, warnings,
# Qt's strict string handling and, on request, the sanitizers.
add_library(vellamor_common INTERFACE)
target_compile_features(vellamor_common INTERFACE cxx_std_20)
set(CMAKE_CXX_EXTENSIONS OFF)
set(CMAKE_AUTOMOC ON)

target_compile_options(vellamor_common INTERFACE
  -Wall -Wextra -Wpedantic -Wnon-virtual-dtor -Woverloaded-virtual -Wold-style-cast -fcoroutines)
if(VELLAMOR_WARNINGS_AS_ERRORS)
  target_compile_options(vellamor_common INTERFACE -Werror)
endif()
target_compile_definitions(vellamor_common INTERFACE
  QT_NO_CAST_FROM_ASCII
  QT_NO_CAST_TO_ASCII
  QT_NO_CAST_FROM_BYTEARRAY
  QT_NO_URL_CAST_FROM_STRING
  QT_NO_NARROWING_CONVERSIONS_IN_CONNECT
  QT_USE_QSTRINGBUILDER
  QT_NO_FOREACH)

if(VELLAMOR_SANITIZE)
  # GCC's "undefined" leaves out float-to-integer overflow (a NaN sample
  # converted to 16 bits, say), which is as undefined as the rest.
  set(_vellamor_sanitizers -fsanitize=address,undefined,float-cast-overflow -fno-omit-frame-pointer
      -fno-sanitize-recover=undefined,float-cast-overflow)
  target_compile_options(vellamor_common INTERFACE ${_vellamor_sanitizers})
  target_link_options(vellamor_common INTERFACE ${_vellamor_sanitizers})
  # Bounds-checked standard containers: an index past a vector's end or a
  # dereferenced empty optional aborts here instead of reading on quietly.
  target_compile_definitions(vellamor_common INTERFACE _GLIBCXX_ASSERTIONS)
endif()
