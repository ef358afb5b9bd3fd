// The way back: a compiled model decompiles to texts that compile to the same
// bytes, and what no row can give back is said, with where it stands.

#include <gtest/gtest.h>

#include <fmt/format.h>

#include <algorithm>
#include <filesystem>
#include <optional>
#include <functional>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "bench/large_scenario.h"
#include "compiler/decompile.h"
#include "compiler/encoding.h"
#include "tests/test_support.h"

namespace {

using compiler::decompiled;
using compiler::error_code;
using test_support::compile;
using test_support::text_of;

std::string line_of(const std::vector<std::string>& general, const std::vector<std::string>& rows) {
  std::vector<std::string> all{"[generale]"};
  all.insert(all.end(), general.begin(), general.end());
  all.emplace_back("[curve]");
  all.insert(all.end(), rows.begin(), rows.end());
  all.emplace_back("[fine]");
  return text_of(all);
}

std::string service_of(const std::vector<std::string>& rows) {
  std::vector<std::string> all{"[generale]"};
  all.insert(all.end(), rows.begin(), rows.end());
  all.emplace_back("[fine]");
  return text_of(all);
}

// Compiles the texts a decompile wrote, and holds its bytes against the
// original's, file by file.
void expect_same_bytes(const test_support::compiled& original, const decompiled& back,
                       bool with_plan) {
  const test_support::compiled again = compile(back.line_text, back.service_text, with_plan);
  EXPECT_EQ(again.result.error.code, error_code::none);
  EXPECT_EQ(compiler::encode_route_grid(again.model.grid),
            compiler::encode_route_grid(original.model.grid));
  EXPECT_EQ(compiler::encode_station_table(again.model.stations),
            compiler::encode_station_table(original.model.stations));
  if (with_plan) {
    EXPECT_EQ(compiler::encode_track_plan(again.model.plan),
              compiler::encode_track_plan(original.model.plan));
  }
}

std::size_t warnings_in(const compiler::journal& log) {
  return static_cast<std::size_t>(
      std::count_if(log.entries().begin(), log.entries().end(), [](const auto& entry) {
        return std::holds_alternative<compiler::warning_noted>(entry.event);
      }));
}

void expect_round_trip(const std::string& line, const std::string& service, bool with_plan) {
  const test_support::compiled original = compile(line, service, with_plan);
  ASSERT_EQ(original.result.error.code, error_code::none);
  const decompiled back = compiler::decompile(original.model);
  for (const auto& note : back.notes) ADD_FAILURE() << note.what << " at " << note.where;
  if (back.difference) {
    ADD_FAILURE() << back.difference->where << " " << back.difference->field << ": "
                  << back.difference->first << " against " << back.difference->second << "\n"
                  << back.line_text << back.service_text;
  }
  EXPECT_TRUE(back.same_bytes());
  if (warnings_in(original.log) == 0) {
    EXPECT_EQ(back.recompiled_warnings, 0U);
  }
  expect_same_bytes(original, back, with_plan);
}

TEST(Decompile, CompilesBackToTheSameBytes) {
  struct round_trip_case {
    std::string name;
    std::vector<std::string> general;
    std::vector<std::string> line_rows;
    std::vector<std::string> service_rows;
  };
  const std::vector<std::string> length{"lunghezza percorso, 20000"};
  const std::vector<round_trip_case> cases = {
      {"nothing but a length", length, {}, {}},
      {"general rows",
       {"lunghezza percorso, 20000", "progressiva chilometrica uno, 2500, 3500, 1",
        "progressiva chilometrica tre, 9500, 10000, 2", "sfondo uno, 7", "sfondo tre, 1",
        "ripetizione segnali 9 codici, 100, 15000"},
       {},
       {"numero vetture, 9", "percentuale massa frenata, 95", "sabbia, 120", "orologio, 8, 5, 30"}},
      {"progressive rows with equal starts, and a repetition without an end",
       {"lunghezza percorso, 20000", "progressiva chilometrica uno, 0, 3500, 1",
        "progressiva chilometrica due, 0, 4000, 0", "ripetizione segnali 4 codici, 500, 0"},
       {},
       {}},
      {"positions at odd multiples of 25 m",
       length,
       {"pendenza, 0, -3", "pendenza, 625, 5", "cartello_indicatore, 8575, (A)",
        "indicatori_vmax, 13275, 80, 90, 100, 1, 60, 65, , 2"},
       {"velocita, 0, 80", "velocita, 1275, 95", "aderenza, 3025, 90",
        "segnale, 10525, 2, 4, 0, 0, 0, 0, 0,0,0, 0", "abbattimento, 4575, 3"}},
      {"every curve class in both senses",
       length,
       {"curvad1, 100, 200", "curvas1, 400, 50", "curvad2, 600, 80", "curvas2, 700, 90",
        "curvad3, 900, 100", "curvas3, 1100, 100", "curvad4, 1300, 100", "curvas4, 1400, 100",
        "curvad5, 1600, 120", "curvas5, 1720, 30", "curvad6, 1800, 10", "curvas6, 1811, 40"},
       {}},
      {"tunnels: markers, a close second one, a type kept without markers",
       length,
       {"montagna, 1000, 2000, 11", "montagna, 2100, 3000, 11", "montagna, 5000, 5100, 15",
        "montagna, 6000, 7000, 2", "montagna, 9000, 9600, 13", "montagna, 9650, 9900, 3",
        "montagna, 11000, 11550, 13", "montagna, 11550, 11900, 13",
        "indicatori_vmax, 1100, 80, 80, 80, 0, , , , 0"},
       {"segnale, 1500, 1, 4, 0, 0, 0, 0, 0,0,0, 0"}},
      {"signs in their slots",
       length,
       {"cartello_indicatore, 650, (CAVALCAVIA)( Km 0.661 )", "cartello_indicatore, 900, \"A, B\"",
        "cartello_indicatore, 1200, ORMEDA S.V."},
       {}},
      {"stations of every area rule",
       length,
       {},
       {"stazione, 0, 4, 900, 1, 1, 1, 5,6,0, 2,1,1, 30, 8,0,0, ALPE",
        "stazione, 3000, 22, 300, 1, 1, 1, 5,6,0, 2,1,1, 40, 8,10,0, \"B, C\"",
        "stazione, 5000, 5, 200, 0, 0, 1, 0,0,0, 0,0,0, 20, 8,20,30, TRE",
        "stazione, 7000, 7, 300, 0, 1, 1, 0,0,0, 0,0,0, 20, 8,30,0, QUATTRO",
        "stazione, 9000, 30, 600, 0, 1, 0, 0,0,0, 0,0,0, 0, 8,40,0, CINQUE",
        "stazione, 12000, 2, 700, 1, 1, 0, 5,6,0, 2,1,1, 90, 16,12,0, ORMEDA"}},
      {"signals: a time raised, a time not kept, negative sides",
       length,
       {},
       {"segnale, 1950, 2, 4, 0, 0, 0, 0, 0,0,0, 0", "segnale, 9150, 2, 4, 0, 0, 0, 2, 2,0,0, 140",
        "segnale, 9550, 2, 2, 3, 1, 1, 2, 2,1,1, 50", "segnale, 9950, 1, 2, 3, 1, 1, 2, 2,1,1, 50",
        "segnale, 10550, 0, 12, 0, 0, -1, 1, 0,0,0, 0"}},
      {"slowdowns: warned, marked ahead, unwarned, of no length, with d_v",
       length,
       {},
       {"segnale, 3000, 2, 4, 0, 0, 0, 0, 0,0,0, 0",
        "rallentamento, 4150, 30, 250, 0, 1, 0", "rallentamento, 1000, 60, 300, 2, 1, 0",
        "rallentamento, 1520, 40, 100, 0, 0, 0", "rallentamento, 9000, 80, 0, 0, 0, 7",
        "rallentamento, 12000, 100, 900, 1, 1, 7"}},
      {"code cuts: without a code, with one, one the protection pass lowers",
       length,
       {},
       {"segnale, 3000, 2, 4, 0, 0, 0, 0, 0,0,0, 0", "rallentamento, 4550, 30, 250, 0, 0, 0",
        "abbattimento, 2950, 300", "abbattimento, 6000, AC", "abbattimento, 7000, 75"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    for (const bool with_plan : {true, false}) {
      SCOPED_TRACE(with_plan ? "with its plan" : "without a plan");
      expect_round_trip(line_of(c.general, c.line_rows), service_of(c.service_rows), with_plan);
    }
  }
  SCOPED_TRACE("the embedded scenario");
  expect_round_trip(test_support::embedded_line_text(), test_support::embedded_service_text(),
                    true);
}

TEST(Decompile, GeneratedLongLinesCompileBackToTheSameBytes) {
  for (const std::int32_t length : {250'000, 500'000, 1'000'000}) {
    SCOPED_TRACE(length);
    const bench::generated_scenario generated = bench::make_large_scenario(length);
    expect_round_trip(generated.line_text, generated.service_text, true);
  }
}

// A plan file read back into the model: the compile's own file whole, and
// files that fill their metres otherwise named at the first such metre.
TEST(Decompile, ReadsAPlanFileAsTheCompileWroteIt) {
  const test_support::compiled built =
      compile(line_of({"lunghezza percorso, 1000"}, {"curvad3, 100, 50"}), service_of({}));
  const std::string bytes = compiler::encode_track_plan(built.model.plan);
  const auto element_at = [&](std::size_t element) {
    // Metres 0 and 1 of each half are integers (4 bytes), the rest reals
    // (10 bytes) up to the two empty ones (2 bytes).
    const std::size_t metres = static_cast<std::size_t>(built.model.plan.upper) + 1;
    const std::size_t half = element / metres * (8 + (metres - 4) * 10 + 4);
    const std::size_t m = element % metres;
    return half + (m < 2 ? 4 * m : 8 + (m - 2) * 10);
  };
  struct plan_case {
    std::string name;
    std::string bytes;
    std::optional<std::int32_t> odd;
  };
  // Metre 5's first coordinate emptied: the reals after it are out of place.
  std::string emptied = bytes;
  emptied.replace(element_at(5), 10, std::string("\0\0", 2));
  const std::vector<plan_case> cases = {{"the compile's own", bytes, std::nullopt},
                                         {"an empty element among reals", emptied, 5}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    compiler::plan_from_file read;
    ASSERT_TRUE(compiler::plan_of_file(c.bytes, read));
    EXPECT_EQ(read.odd_metre, c.odd);
    EXPECT_EQ(read.plan.upper, built.model.plan.upper);
    if (c.odd) continue;
    EXPECT_EQ(read.plan.filled, built.model.plan.filled);
    EXPECT_EQ(compiler::encode_track_plan(read.plan), bytes);
  }
}

// Every case of the golden corpus whose texts compile without an error.
TEST(Decompile, GoldenCasesCompileBackToTheSameBytes) {
  namespace fs = std::filesystem;
  const fs::path cases = fs::path(SCENARIO_SOURCE_DIR) / "tests" / "golden" / "cases";
  int clean = 0;
  for (const auto& entry : fs::directory_iterator(cases)) {
    std::optional<std::string> line;
    std::optional<std::string> service;
    for (const auto& file : fs::directory_iterator(entry.path())) {
      const std::string name = file.path().filename().string();
      if (name.ends_with("_linea.txt")) line = test_support::read_file(file.path());
      if (name.ends_with("-.txt")) service = test_support::read_file(file.path());
    }
    const bool with_plan =
        test_support::read_file(entry.path() / "args").find("--no-plan") == std::string::npos;
    const test_support::compiled original = compile(line, service, with_plan);
    if (original.result.outcome != compiler::compile_outcome::complete ||
        original.result.error.code != error_code::none) {
      continue;
    }
    SCOPED_TRACE(entry.path().filename().string());
    ++clean;
    const decompiled back = compiler::decompile(original.model);
    EXPECT_TRUE(back.same_bytes())
        << (back.difference ? back.difference->where + " " + back.difference->field : "");
    expect_same_bytes(original, back, with_plan);
  }
  EXPECT_GE(clean, 10);
}

// Random texts that compile cleanly: objects on cells of their own, profiles
// in order, stations far apart.
struct random_texts {
  std::string line;
  std::string service;
};

random_texts random_scenario(std::mt19937& random) {
  const auto pick = [&](int low, int high) {
    return std::uniform_int_distribution<int>(low, high)(random);
  };
  const int length = pick(100, 600) * 50;
  const int last_cell = length / 50 - 2;
  std::set<int> taken{0, 1, 2};
  // A free cell c (the object's position is 50 (c - 1)) with free cells
  // around it, so that no object, mark or protection point meets another.
  const auto free_cell = [&](int low) -> std::optional<int> {
    for (int attempt = 0; attempt < 20; ++attempt) {
      const int c = pick(low, last_cell);
      bool clear = true;
      for (int d = -30; d <= 30 && clear; ++d) clear = !taken.contains(c + d);
      if (clear) {
        taken.insert(c);
        return c;
      }
    }
    return std::nullopt;
  };
  std::vector<std::string> general{fmt::format("lunghezza percorso, {}", length)};
  if (pick(0, 1)) general.push_back(fmt::format("sfondo due, {}", pick(0, 9)));
  if (pick(0, 1)) general.push_back(fmt::format("ripetizione segnali 4 codici, 0, {}", length - 50 * pick(0, 10)));
  std::vector<std::string> line_rows;
  std::vector<std::string> service_rows;

  int metre = pick(0, 500);
  while (metre + 400 < length) {
    const char sense = pick(0, 1) ? 's' : 'd';
    const int curve_length = pick(1, 300);
    line_rows.push_back(fmt::format("curva{}{}, {}, {}", sense, pick(1, 6), metre, curve_length));
    metre += curve_length + pick(0, 2000);
  }
  for (int position = 0; position < length; position += 50 * pick(1, 80)) {
    line_rows.push_back(fmt::format("pendenza, {}, {}", position, pick(-30, 30)));
    service_rows.push_back(fmt::format("velocita, {}, {}", position, 5 * pick(6, 30)));
    service_rows.push_back(fmt::format("aderenza, {}, {}", position, pick(60, 100)));
  }
  int tunnel = 50 * pick(0, 100);
  while (tunnel + 2000 < length) {
    const int end = tunnel + 50 * pick(1, 40);
    line_rows.push_back(fmt::format("montagna, {}, {}, {}", tunnel, end, pick(0, 1) ? 11 : 2));
    tunnel = end + 50 * pick(4, 100);
  }
  for (int i = pick(0, 4); i > 0; --i) {
    if (const auto c = free_cell(3)) {
      line_rows.push_back(fmt::format("indicatori_vmax, {}, {}, {}, {}, {}, , , , 0", 50 * (*c - 1),
                                      5 * pick(6, 30), 5 * pick(6, 30), 5 * pick(6, 30), pick(0, 3)));
    }
  }
  for (int i = pick(0, 3); i > 0; --i) {
    if (const auto c = free_cell(3)) {
      line_rows.push_back(fmt::format("cartello_indicatore, {}, (SEGNO {})", 50 * (*c - 1), i));
    }
  }
  // Stations first in the area they need, each 2 km from the last.
  int station = 0;
  for (int slot = 1; station + 1500 < length && slot < 6; ++slot) {
    const int stop = (station + 300) / 50 - 1;
    bool clear = true;
    for (int d = -30; d <= 30 && clear; ++d) clear = !taken.contains(stop + d);
    if (clear) {
      for (int d = -5; d <= 1; ++d) taken.insert(stop + d);
      service_rows.push_back(fmt::format("stazione, {}, 4, 600, 0, 1, 0, 0,0,0, 0,0,0, {}, {},{},0, S{}",
                                         station, pick(0, 90), 8 + slot, pick(0, 59), slot));
    }
    station += 2000 + 50 * pick(0, 40);
  }
  for (int i = pick(0, 6); i > 0; --i) {
    if (const auto c = free_cell(10)) {
      service_rows.push_back(fmt::format("segnale, {}, {}, {}, {}, {}, {}, {}, {},{},{}, {}",
                                         50 * (*c - 1), pick(0, 2), pick(0, 9), pick(0, 9),
                                         pick(0, 9), pick(0, 3), pick(0, 2), pick(0, 9), pick(0, 9),
                                         pick(0, 9), pick(0, 1) ? 0 : pick(0, 250)));
    }
  }
  for (int i = pick(0, 2); i > 0; --i) {
    const auto c = free_cell(60);
    if (!c) continue;
    const int start = 50 * (*c - 1);
    const int cells = pick(1, 25);
    bool clear = *c + cells + 30 <= last_cell;
    for (int d = 0; d <= cells + 30 && clear; ++d) clear = !taken.contains(*c + 1 + d);
    for (int d = 1; d <= 60 && clear; ++d) clear = !taken.contains(*c - d);
    if (!clear) continue;
    for (int d = -60; d <= cells + 30; ++d) taken.insert(*c + d);
    service_rows.push_back(fmt::format("rallentamento, {}, {}, {}, {}, {}, {}", start,
                                       5 * pick(2, 30), 50 * cells, pick(0, 3), pick(0, 1),
                                       pick(0, 1) ? 0 : pick(1, 9)));
  }
  for (int i = pick(0, 3); i > 0; --i) {
    if (const auto c = free_cell(3)) {
      service_rows.push_back(pick(0, 1) ? fmt::format("abbattimento, {}, AC", 50 * *c)
                                        : fmt::format("abbattimento, {}, {}", 50 * *c, pick(1, 400)));
    }
  }
  return {line_of(general, line_rows), service_of(service_rows)};
}

TEST(Decompile, RandomTextsCompileBackToTheSameBytes) {
  std::mt19937 random(20261210);
  int clean = 0;
  for (int i = 0; i < 300; ++i) {
    const random_texts texts = random_scenario(random);
    const bool with_plan = i % 5 != 0;
    const test_support::compiled original = compile(texts.line, texts.service, with_plan);
    if (original.result.error.code != error_code::none) continue;
    ++clean;
    SCOPED_TRACE(texts.line + texts.service);
    const decompiled back = compiler::decompile(original.model);
    EXPECT_TRUE(back.notes.empty());
    ASSERT_TRUE(back.same_bytes())
        << (back.difference ? back.difference->where + " " + back.difference->field + ": " +
                                  back.difference->first + " against " + back.difference->second
                            : std::string("recompiled with an error"));
  }
  // The generator is meant to give clean texts; most of them must be.
  EXPECT_GT(clean, 250);
}

// What no row gives back is said, and the texts still hold all the rest.
TEST(Decompile, SaysWhatNoRowGivesBack) {
  const test_support::compiled base =
      compile(line_of({"lunghezza percorso, 20000"}, {"montagna, 1000, 2000, 11"}),
              service_of({"segnale, 3000, 2, 4, 0, 0, 0, 0, 0,0,0, 0",
                          "rallentamento, 8000, 30, 250, 0, 1, 0",
                          "stazione, 12000, 2, 700, 1, 1, 0, 5,6,0, 2,1,1, 90, 16,12,0, ORMEDA"}));
  ASSERT_EQ(base.result.error.code, error_code::none);
  struct damage_case {
    std::string name;
    std::function<void(compiler::scenario_model&)> damage;
    std::string note;   // part of the note expected, empty for none
    std::string where;  // the first difference
  };
  const auto cell = [](compiler::scenario_model& m, std::size_t i) -> compiler::track_cell& {
    return m.grid.cells.at(i);
  };
  const std::vector<damage_case> cases = {
      {"a kind no row writes", [&](auto& m) { cell(m, 300).kind = 9; }, "kind 9", "cell 300"},
      {"an end without its start", [&](auto& m) { cell(m, 161).kind = 0; },
       "a slowdown end that no start pairs with", "cell 133"},
      {"a warning without its start", [&](auto& m) { cell(m, 400).kind = 4; },
       "a slowdown warning without its start", "cell 400"},
      {"a marker out of step", [&](auto& m) { cell(m, 25).kind = 11; },
       "out of step", "cell 25"},
      {"a plan point no curve makes", [&](auto& m) { m.plan.x.at(500) += 0.25; },
       "a plan point that follows from no curve class", "plan metre 500"},
      {"a station area no length gives", [&](auto& m) { m.stations.slots[1].start += 25; },
       "a station area", "slot 1"},
      {"a value no row writes", [&](auto& m) { m.stations.slots[84].group2_b = 3; }, "",
       "slot 84"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    compiler::scenario_model model = base.model;
    c.damage(model);
    const decompiled back = compiler::decompile(model);
    if (c.note.empty()) {
      EXPECT_TRUE(back.notes.empty());
    } else {
      ASSERT_FALSE(back.notes.empty());
      EXPECT_NE(back.notes.front().what.find(c.note), std::string::npos) << back.notes.front().what;
    }
    ASSERT_TRUE(back.difference.has_value());
    EXPECT_EQ(back.difference->where, c.where);
    EXPECT_FALSE(back.same_bytes());
    // The rest is still written: the signal and the station come back.
    EXPECT_NE(back.service_text.find("segnale,  3000"), std::string::npos);
    EXPECT_NE(back.service_text.find("ORMEDA"), std::string::npos);
  }
}

}  // namespace
