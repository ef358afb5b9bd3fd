# The text --version prints: the project's version and, when the sources are a
# git checkout of their own, the short commit. The header that holds it is
# written at every build, so that a new commit needs no new configure, and
# only when its text changes, so that nothing is recompiled otherwise.

find_package(Git QUIET)
set(version_header ${PROJECT_BINARY_DIR}/generated/builder/version_text.h)
add_custom_target(scenario_version_text
  COMMAND ${CMAKE_COMMAND} -DSOURCE_DIR=${PROJECT_SOURCE_DIR} -DVERSION=${PROJECT_VERSION}
          -DGIT=${GIT_EXECUTABLE} -DOUTPUT=${version_header}
          -P ${PROJECT_SOURCE_DIR}/cmake/write_version_text.cmake
  BYPRODUCTS ${version_header}
  COMMENT "Reading the commit for --version"
  VERBATIM)

add_library(scenario_version INTERFACE)
target_include_directories(scenario_version INTERFACE ${PROJECT_BINARY_DIR}/generated)
add_dependencies(scenario_version scenario_version_text)
