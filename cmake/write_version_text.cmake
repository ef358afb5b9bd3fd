# Script mode: writes OUTPUT, a header defining SCENARIO_BUILDER_VERSION as
# "scenario-builder VERSION" followed by " (commit abc1234)" when SOURCE_DIR
# is the top of a git checkout and GIT can read its commit. Sources unpacked
# inside some other checkout are not taken for it.

set(text "scenario-builder ${VERSION}")
if(GIT)
  execute_process(COMMAND ${GIT} -C ${SOURCE_DIR} rev-parse --show-toplevel
                  OUTPUT_VARIABLE top OUTPUT_STRIP_TRAILING_WHITESPACE
                  RESULT_VARIABLE top_failed ERROR_QUIET)
  execute_process(COMMAND ${GIT} -C ${SOURCE_DIR} rev-parse --short HEAD
                  OUTPUT_VARIABLE commit OUTPUT_STRIP_TRAILING_WHITESPACE
                  RESULT_VARIABLE commit_failed ERROR_QUIET)
  if(NOT top_failed AND NOT commit_failed)
    file(REAL_PATH "${top}" top)
    file(REAL_PATH "${SOURCE_DIR}" source)
    if(top STREQUAL source)
      string(APPEND text " (commit ${commit})")
    endif()
  endif()
endif()

# file(CONFIGURE) leaves the file alone when its content is already this.
file(CONFIGURE OUTPUT "${OUTPUT}" CONTENT "#pragma once
// Written by the build: the text --version prints.
#define SCENARIO_BUILDER_VERSION \"${text}\"
")
