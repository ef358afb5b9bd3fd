#include "builder/waiting_notice.h"

#include <ostream>

namespace builder {

std::string fatal_error_text(std::string_view code) {
  return std::string(" Errore n. ") + std::string(code);
}

void terminal_notice::show() { out_ << waiting_text << std::endl; }

void terminal_notice::show_error(std::string_view text) { err_ << text << std::endl; }

}  // namespace builder
