#include "compiler/reading.h"

namespace compiler {

void record_error(build_state& state, error_code code, error_source from, std::size_t row_offset) {
  state.error = code;
  state.error_from = from;
  state.error_offset = row_offset;
}

void record_error(build_state& state, error_code code, std::int32_t position, error_source from,
                  std::size_t row_offset) {
  record_error(state, code, from, row_offset);
  state.error_position = position;
}

}  // namespace compiler
