# The libraries the cross build takes from the build machine. Only fmt,
# CLI11, nlohmann-json and cpp-httplib come along, as headers: each library's own header
# directory is linked into a staging directory, and only that one is put on
# the include path, because the build machine's include directory also holds
# its C library's headers, which would shadow those of the target system.
# fmt is used header-only, since its compiled library is for the build
# machine. GoogleTest is compiled from its sources when they are installed.

set(SCENARIO_HOST_INCLUDE_DIR /usr/include
    CACHE PATH "The build machine's directory holding fmt/, CLI/ and nlohmann/")
set(staged_include_dir ${PROJECT_BINARY_DIR}/staged_include)
file(MAKE_DIRECTORY ${staged_include_dir})
foreach(header_dir fmt CLI nlohmann)
  if(NOT EXISTS ${SCENARIO_HOST_INCLUDE_DIR}/${header_dir})
    message(FATAL_ERROR "${SCENARIO_HOST_INCLUDE_DIR}/${header_dir} is missing: the cross build "
                        "needs the headers of libfmt-dev, libcli11-dev and nlohmann-json3-dev")
  endif()
  file(CREATE_LINK ${SCENARIO_HOST_INCLUDE_DIR}/${header_dir} ${staged_include_dir}/${header_dir}
       SYMBOLIC)
endforeach()

add_library(fmt::fmt INTERFACE IMPORTED)
target_include_directories(fmt::fmt INTERFACE ${staged_include_dir})
target_compile_definitions(fmt::fmt INTERFACE FMT_HEADER_ONLY)

add_library(CLI11::CLI11 INTERFACE IMPORTED)
target_include_directories(CLI11::CLI11 INTERFACE ${staged_include_dir})

add_library(nlohmann_json::nlohmann_json INTERFACE IMPORTED)
target_include_directories(nlohmann_json::nlohmann_json INTERFACE ${staged_include_dir})

# cpp-httplib is compiled in from its single header (cmake/httplib.cmake).
include(${CMAKE_CURRENT_LIST_DIR}/httplib.cmake)

set(SCENARIO_GOOGLETEST_SOURCE_DIR /usr/src/googletest
    CACHE PATH "GoogleTest's sources, compiled into the cross build for the unit tests")
if(SCENARIO_BUILD_TESTS)
  if(EXISTS ${SCENARIO_GOOGLETEST_SOURCE_DIR}/CMakeLists.txt)
    set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
    set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
    add_subdirectory(${SCENARIO_GOOGLETEST_SOURCE_DIR} ${PROJECT_BINARY_DIR}/googletest
                     EXCLUDE_FROM_ALL SYSTEM)
  else()
    message(STATUS "no GoogleTest sources in ${SCENARIO_GOOGLETEST_SOURCE_DIR}: "
                   "the unit tests are not built")
    set(SCENARIO_BUILD_TESTS OFF)
  endif()
endif()
