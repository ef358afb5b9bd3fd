#include "tests/test_support.h"

#include <cmath>
#include <fstream>
#include <random>
#include <sstream>

#include "builder/commands/command_line.h"
#include "compiler/diagnostics.h"
#include "scenario/line_text.h"
#include "scenario/service_text.h"
#include "scenario/text_file.h"

namespace test_support {

run_result run_command(const std::vector<std::string>& args) {
  std::ostringstream out;
  std::ostringstream err;
  const builder::exit_status status = builder::run_command_line(args, nullptr, out, err);
  return {status, out.str(), err.str()};
}

std::string text_of(std::initializer_list<std::string_view> rows) {
  std::string text;
  for (std::string_view row : rows) {
    text += row;
    text += "\r\n";
  }
  return text;
}

std::string line_text(std::initializer_list<std::string_view> rows, std::string_view length_row) {
  std::string text = text_of({"[generale]", length_row, "[curve]"});
  text += text_of(rows);
  text += "[fine]\r\n";
  return text;
}

std::string service_text(std::initializer_list<std::string_view> rows) {
  std::string text = "[generale]\r\n";
  text += text_of(rows);
  text += "[fine]\r\n";
  return text;
}

std::string text_of(const std::vector<std::string>& rows) {
  std::string text;
  for (const std::string& row : rows) {
    text += row;
    text += "\r\n";
  }
  return text;
}

std::string line_text(const std::vector<std::string>& rows) {
  return text_of({"[generale]", "lunghezza percorso,    63500", "[curve]"}) + text_of(rows) +
         "[fine]\r\n";
}

std::string service_text(const std::vector<std::string>& rows) {
  return "[generale]\r\n" + text_of(rows) + "[fine]\r\n";
}

compiled compile(std::optional<std::string> line, std::optional<std::string> service,
                 bool with_plan) {
  compiled out;
  compiler::build_settings settings = compiler::embedded_settings({});
  settings.with_plan = with_plan;
  out.texts = {std::move(line), std::move(service)};
  out.result = compiler::compile_scenario(settings, out.texts, out.model, out.log);
  return out;
}

std::size_t rows_read(const compiler::journal& log, compiler::row_keyword keyword) {
  std::size_t count = 0;
  for (const auto& entry : log.entries()) {
    const auto* row = std::get_if<compiler::row_read>(&entry.event);
    count += row != nullptr && row->keyword == keyword ? 1 : 0;
  }
  return count;
}

std::vector<std::string> reports(const compiled& c) {
  std::vector<std::string> out;
  for (const auto& d : compiler::author_report(compiler::embedded_settings({}), c.texts, c.log,
                                               c.model, {"L_linea.txt", "L_4816-.txt"})) {
    out.push_back(compiler::format_diagnostic(d));
  }
  return out;
}

std::string embedded_line_text() {
  return scenario::encode_line_list(scenario::line_text_lines()).bytes;
}

std::string embedded_service_text() {
  return scenario::encode_line_list(scenario::service_text_lines()).bytes;
}

temporary_directory::temporary_directory() {
  std::random_device seed;
  path_ = std::filesystem::temp_directory_path() /
          ("scenario-test-" + std::to_string(seed()) + std::to_string(seed()));
  std::filesystem::create_directories(path_);
}

temporary_directory::~temporary_directory() {
  std::error_code error;
  std::filesystem::permissions(path_, std::filesystem::perms::owner_all,
                               std::filesystem::perm_options::add, error);
  std::filesystem::remove_all(path_, error);
}

std::size_t drawable_metres(const compiler::decoded_plan& plan) {
  auto usable = [](const compiler::plan_value& v) {
    return v.tag != compiler::plan_tag::empty && std::isfinite(v.value);
  };
  std::size_t drawable = 0;
  while (drawable < plan.x.size() && drawable < plan.y.size() && usable(plan.x[drawable]) &&
         usable(plan.y[drawable])) {
    ++drawable;
  }
  return drawable;
}

std::string read_file(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

void write_file(const std::filesystem::path& path, std::string_view bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

}  // namespace test_support
