#include "compiler/text_layout.h"

#include "compiler/keywords.h"
#include "compiler/text_writer.h"

namespace compiler {

namespace {

constexpr std::string_view line_end = "\r\n";

laid_out_text lay_out(std::span<const std::string_view> headers, std::span<const typed_row> rows) {
  laid_out_text out;
  for (const std::string_view header : headers) {
    out.bytes += header;
    out.bytes += line_end;
    for (const typed_row& row : rows) {
      if (facts_of(keyword_of(row)).header != header) continue;
      const row_text written = write_row(row);
      if (written.unfaithful != nullptr) out.unfaithful.push_back(&row);
      out.bytes += written.text;
      out.bytes += line_end;
    }
  }
  return out;
}

}  // namespace

laid_out_text lay_out_line_text(std::span<const typed_row> rows) {
  return lay_out(line_headers(), rows);
}

laid_out_text lay_out_service_text(std::span<const typed_row> rows) {
  return lay_out(service_headers(), rows);
}

}  // namespace compiler
