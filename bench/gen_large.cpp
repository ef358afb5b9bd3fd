// gen_large: writes the two description texts of a generated large scenario
// into a directory, under the names the build gives them (ROUTE_linea.txt and
// ROUTE_TRAIN-.txt).
//
//   gen_large [--length METRES] [--seed N] [--out DIR]
//
// Prints the route base name, the train number and the two paths, one per
// line, so that a script can hand them to the compiler.

#include <fmt/format.h>

#include <charconv>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <string>
#include <string_view>

#include "bench/large_scenario.h"
#include "scenario/file_system.h"
#include "scenario/line_text.h"
#include "scenario/service_text.h"

namespace {

template <typename T>
bool parse_number(std::string_view text, T& value) {
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  return error == std::errc{} && end == text.data() + text.size();
}

int usage(std::string_view problem) {
  std::cerr << "gen_large: " << problem << "\n"
            << "usage: gen_large [--length METRES] [--seed N] [--out DIR]\n";
  return 1;
}

}  // namespace

int main(int argc, char** argv) {
  std::int32_t length = bench::largest_line_length_m;
  std::uint64_t seed = bench::default_seed;
  std::filesystem::path out = ".";
  for (int i = 1; i < argc; ++i) {
    const std::string_view option = argv[i];
    if (i + 1 >= argc) return usage(fmt::format("{} needs a value", option));
    const std::string_view value = argv[++i];
    if (option == "--length") {
      if (!parse_number(value, length) || length < 50'000 ||
          length > bench::largest_line_length_m || length % 50 != 0) {
        return usage("the length is a multiple of 50 from 50000 to 1000000");
      }
    } else if (option == "--seed") {
      if (!parse_number(value, seed)) return usage("the seed is a whole number");
    } else if (option == "--out") {
      out = value;
    } else {
      return usage(fmt::format("unknown option {}", option));
    }
  }

  const bench::generated_scenario scenario = bench::make_large_scenario(length, seed);
  const auto line_path = out / scenario::line_text_file_name(scenario.route_base_name);
  const auto service_path =
      out / scenario::service_text_file_name(scenario.route_base_name, scenario.train_number);
  for (const auto& [path, bytes] : {std::pair{line_path, &scenario.line_text},
                                    std::pair{service_path, &scenario.service_text}}) {
    if (const scenario::status written = scenario::write_file_atomically(path, *bytes); !written) {
      std::cerr << "gen_large: " << written.describe() << '\n';
      return 1;
    }
  }
  std::cout << scenario.route_base_name << '\n'
            << scenario.train_number << '\n'
            << line_path.string() << '\n'
            << service_path.string() << '\n';
  return 0;
}
