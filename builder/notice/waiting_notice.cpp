#include "builder/notice/waiting_notice.h"

#include <ostream>

namespace builder {

std::string fatal_error_text(std::string_view code) {
  return std::string(" Errore n. ") + std::string(code);
}

void terminal_notice::show() { out_ << waiting_text << std::endl; }

void terminal_notice::show_error(std::string_view text) { err_ << text << std::endl; }

std::unique_ptr<waiting_notice> make_terminal_notice(bool, std::ostream& out, std::ostream& err) {
  return std::make_unique<terminal_notice>(out, err);
}

}  // namespace builder
