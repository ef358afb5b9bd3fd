# cpp-httplib, the server behind `serve`, as httplib::httplib.
#
# It is compiled in from its single header wherever that can be had: Debian's
# binary package holds a library built with TLS and compression, whose
# libssl, libcrypto, zlib and brotli the loader would map into every run of
# the program, a few milliseconds at each start of a build that takes five.
# The whole header is in Debian's source package of the installed version,
# which scripts/fetch-httplib-header fetches once into the build tree. Where
# it cannot (no source package within reach), a native build links Debian's
# library instead; the Windows build has no such library and needs the header.

set(SCENARIO_HTTPLIB_DIR ${PROJECT_BINARY_DIR}/cpp-httplib
    CACHE PATH "Directory holding cpp-httplib's single header httplib.h")
if(NOT EXISTS ${SCENARIO_HTTPLIB_DIR}/httplib.h)
  execute_process(COMMAND ${PROJECT_SOURCE_DIR}/scripts/fetch-httplib-header ${SCENARIO_HTTPLIB_DIR}
                  RESULT_VARIABLE fetched OUTPUT_QUIET)
endif()

if(EXISTS ${SCENARIO_HTTPLIB_DIR}/httplib.h)
  set(SCENARIO_HTTPLIB_COMPILED_IN ON)
  add_library(httplib::httplib INTERFACE IMPORTED GLOBAL)
  target_include_directories(httplib::httplib SYSTEM INTERFACE ${SCENARIO_HTTPLIB_DIR})
  if(WIN32)
    target_link_libraries(httplib::httplib INTERFACE ws2_32)
  else()
    find_package(Threads REQUIRED)
    target_link_libraries(httplib::httplib INTERFACE Threads::Threads)
  endif()
elseif(WIN32)
  message(FATAL_ERROR "no httplib.h in ${SCENARIO_HTTPLIB_DIR}: scripts/fetch-httplib-header "
                      "could not fetch it (it needs libcpp-httplib-dev installed and Debian's "
                      "source packages within reach)")
else()
  message(STATUS "cpp-httplib's single header could not be fetched: linking Debian's library, "
                 "which every run of the program then loads with its TLS and compression")
  set(SCENARIO_HTTPLIB_COMPILED_IN OFF)
  find_package(PkgConfig REQUIRED)
  pkg_check_modules(cpp_httplib REQUIRED IMPORTED_TARGET GLOBAL cpp-httplib)
  add_library(httplib::httplib INTERFACE IMPORTED GLOBAL)
  target_link_libraries(httplib::httplib INTERFACE PkgConfig::cpp_httplib)
endif()
