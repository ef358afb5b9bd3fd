// The generated largest scenario: it must compile without an error code, with
// the sizes that the longest line gives, and every object it plans must be in
// the compiled grid.

#include "bench/large_scenario.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <array>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>

#include "compiler/compile.h"
#include "compiler/encoding.h"
#include "tests/test_support.h"
#include "scenario/file_system.h"

namespace {

using compiler::cell_kind;
using compiler::error_code;

struct compiled_scenario {
  bench::generated_scenario generated;
  compiler::scenario_model model;
  compiler::journal log;
  compiler::compile_result result;
};

std::unique_ptr<compiled_scenario> compile_generated(std::int32_t length, std::uint64_t seed) {
  auto out = std::make_unique<compiled_scenario>();
  out->generated = bench::make_large_scenario(length, seed);
  const compiler::build_settings settings{out->generated.route_base_name,
                                          out->generated.train_number, ".", true};
  compiler::description_texts texts{out->generated.line_text, out->generated.service_text};
  out->result = compiler::compile_scenario(settings, texts, out->model, out->log);
  return out;
}

class largest_scenario : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    largest_ = compile_generated(bench::largest_line_length_m, bench::default_seed).release();
  }
  static void TearDownTestSuite() {
    delete largest_;
    largest_ = nullptr;
  }
  static const compiled_scenario& largest() { return *largest_; }

 private:
  static compiled_scenario* largest_;
};

compiled_scenario* largest_scenario::largest_ = nullptr;

std::size_t count_kind(const compiler::scenario_model& model, cell_kind kind) {
  std::size_t count = 0;
  for (const auto& cell : model.grid.cells) count += compiler::has_kind(cell, kind) ? 1 : 0;
  return count;
}



TEST_F(largest_scenario, compiles_without_an_error_code) {
  const auto& s = largest();
  EXPECT_EQ(s.result.outcome, compiler::compile_outcome::complete);
  EXPECT_EQ(s.result.error.code, error_code::none) << "at " << s.result.error.position << " m";
  EXPECT_EQ(s.model.stations.slots[compiler::line_parameter_slot].finish, 1'000'000);
}

TEST_F(largest_scenario, has_the_sizes_of_the_longest_line) {
  const auto& s = largest();
  // plan_upper = 1,000,000 + 7000; G = 1,007,000 / 50.
  EXPECT_EQ(s.model.plan_upper, 1'007'000);
  EXPECT_EQ(s.model.plan.upper, 1'007'000);
  EXPECT_EQ(s.model.plan.x.size(), 1'007'001u);
  // Every metre but the last two holds a point.
  EXPECT_EQ(s.model.plan.filled, 1'006'999);
  EXPECT_EQ(s.model.grid.cells.size(), 20'141u);

  EXPECT_EQ(compiler::encode_track_plan(s.model.plan).size(), 20u * 1'007'000u - 36u);
  EXPECT_EQ(compiler::encode_route_grid(s.model.grid).size(), 15u * 20'141u);
  const std::size_t names = s.generated.counts.name_bytes + s.generated.route_base_name.size() +
                            s.generated.train_number.size();
  EXPECT_EQ(compiler::encode_station_table(s.model.stations).size(), 87u * 34u + names);
}

TEST_F(largest_scenario, is_as_dense_as_asked) {
  const auto& c = largest().generated.counts;
  EXPECT_GE(c.curves, 2'490u);      // one every 400 m
  EXPECT_EQ(c.gradients, 10'000u);  // one every 100 m
  EXPECT_EQ(c.stations, 70u);
  EXPECT_EQ(c.slowdowns, 10u);
  EXPECT_GE(c.signals, 666u);  // one every 1500 m
  EXPECT_GE(c.tunnels, 70u);
  EXPECT_LE(c.tunnels, 80u);  // the tunnel list holds 80
  EXPECT_EQ(c.signs, 8u);     // slots 80 to 73; 72 stays between them and 71
  EXPECT_GT(c.speed_boards, 300u);
  EXPECT_GT(c.code_cuts_with_code, 0u);
  EXPECT_GT(c.code_cuts_without_code, 0u);
}

TEST_F(largest_scenario, places_every_planned_object) {
  const auto& s = largest();
  const auto& c = s.generated.counts;
  EXPECT_EQ(count_kind(s.model, cell_kind::signal), c.signals);
  EXPECT_EQ(count_kind(s.model, cell_kind::slowdown_end), c.slowdowns);
  EXPECT_EQ(count_kind(s.model, cell_kind::slowdown_start), c.slowdowns);
  EXPECT_EQ(count_kind(s.model, cell_kind::slowdown_warning), c.slowdowns);
  EXPECT_EQ(count_kind(s.model, cell_kind::warning_approach), 4 * c.slowdowns_with_approach);
  EXPECT_EQ(count_kind(s.model, cell_kind::speed_boards), c.speed_boards);
  EXPECT_EQ(count_kind(s.model, cell_kind::station_stop), c.stations_with_stop);
  EXPECT_EQ(count_kind(s.model, cell_kind::code_cut_without_code), c.code_cuts_without_code);
  EXPECT_EQ(count_kind(s.model, cell_kind::line_sign), c.signs);
  EXPECT_EQ(test_support::rows_read(s.log, compiler::row_keyword::tunnel), c.tunnels);

  // The generator never writes the protection code itself, so every cut that
  // carries it is a protection point: at least the signal before the
  // warning, the three before the start and the signal after the end.
  std::size_t protection_points = 0;
  std::size_t cuts_with_code = 0;
  for (const auto& cell : s.model.grid.cells) {
    if (!compiler::has_kind(cell, cell_kind::code_cut)) continue;
    (cell.param1 == 180 ? protection_points : cuts_with_code) += 1;
  }
  EXPECT_EQ(cuts_with_code, c.code_cuts_with_code);
  EXPECT_GE(protection_points, 5 * c.slowdowns);

  for (std::size_t slot = 1; slot <= c.stations; ++slot) {
    EXPECT_FALSE(s.model.stations.slots[slot].name.empty()) << "station slot " << slot;
  }
  EXPECT_TRUE(s.model.stations.slots[c.stations + 1].name.empty());
}

TEST_F(largest_scenario, gradient_changes_by_at_most_two_per_mille) {
  const auto& cells = largest().model.grid.cells;
  // The last three cells keep gradient 0 (the profile stops at G - 2).
  for (std::size_t i = 1; i + 3 < cells.size(); ++i) {
    const int step = std::abs(int{cells[i].gradient} - int{cells[i - 1].gradient});
    ASSERT_LE(step, 2) << "cell " << i;
    ASSERT_GE(cells[i].gradient, 100 - 17) << "cell " << i;
    ASSERT_LE(cells[i].gradient, 100 + 10) << "cell " << i;
  }
}

TEST_F(largest_scenario, plan_file_in_pieces_is_the_whole_file) {
  const auto& plan = largest().model.plan;
  const std::string whole = compiler::encode_track_plan(plan);
  const std::size_t total = compiler::track_plan_element_count(plan);
  ASSERT_EQ(total, 2u * 1'007'001u);
  // Pieces of odd sizes, one of them across the turn from the first
  // coordinates to the second ones, and an empty one.
  std::string pieces;
  std::size_t next = 0;
  for (const std::size_t count : {std::size_t{1}, std::size_t{2}, std::size_t{0},
                                  std::size_t{65'537}, std::size_t{1'007'001}}) {
    compiler::append_track_plan_elements(pieces, plan, next, count);
    next += count;
  }
  compiler::append_track_plan_elements(pieces, plan, next, total - next);
  EXPECT_TRUE(pieces == whole);
}

TEST(large_scenario_writer, pieces_are_written_in_order_up_to_the_first_empty_one) {
  const auto path = std::filesystem::temp_directory_path() /
                    ("large_scenario_pieces_" + std::to_string(::getpid()) + ".bin");
  const std::array<std::string_view, 4> pieces = {"first ", "second", "", "never written"};
  std::size_t asked = 0;
  const auto failure = scenario::write_file_in_pieces(path, [&] { return pieces.at(asked++); });
  ASSERT_TRUE(failure) << failure.describe();
  std::string bytes;
  ASSERT_TRUE(scenario::read_whole_file(path, bytes, {64, "a test file"}));
  EXPECT_EQ(bytes, "first second");
  EXPECT_EQ(asked, 3u);
  std::filesystem::remove(path);
}

TEST(large_scenario_generator, same_seed_same_texts_other_seed_other_texts) {
  const auto first = bench::make_large_scenario(250'000, 7);
  const auto again = bench::make_large_scenario(250'000, 7);
  const auto other = bench::make_large_scenario(250'000, 8);
  EXPECT_EQ(first.line_text, again.line_text);
  EXPECT_EQ(first.service_text, again.service_text);
  EXPECT_NE(first.line_text, other.line_text);
  EXPECT_NE(first.service_text, other.service_text);
}

TEST(large_scenario_generator, shorter_lines_and_other_seeds_compile_cleanly) {
  for (const std::int32_t length : {50'000, 250'000, 500'000}) {
    for (const std::uint64_t seed : {1u, 2u, 3u}) {
      const auto s = compile_generated(length, seed);
      EXPECT_EQ(s->result.outcome, compiler::compile_outcome::complete);
      EXPECT_EQ(s->result.error.code, error_code::none)
          << length << " m, seed " << seed << ": at " << s->result.error.position << " m";
      EXPECT_EQ(s->model.plan_upper, length + 7000);
      EXPECT_EQ(count_kind(s->model, cell_kind::signal), s->generated.counts.signals);
    }
  }
}

TEST(large_scenario_generator, content_grows_with_the_line) {
  const auto quarter = bench::make_large_scenario(250'000).counts;
  const auto whole = bench::make_large_scenario(1'000'000).counts;
  EXPECT_EQ(quarter.gradients * 4, whole.gradients);
  EXPECT_NEAR(static_cast<double>(quarter.stations) * 4, static_cast<double>(whole.stations), 4);
  EXPECT_NEAR(static_cast<double>(quarter.signals) * 4, static_cast<double>(whole.signals), 8);
  EXPECT_NEAR(static_cast<double>(quarter.curves) * 4, static_cast<double>(whole.curves), 8);
}

}  // namespace
