#include "builder/commands/round_trip_commands.h"

#include <fmt/format.h>

#include <algorithm>
#include <filesystem>
#include <nlohmann/json.hpp>
#include <optional>
#include <ostream>

#include "builder/commands/build_folder.h"
#include "builder/commands/build_sequence.h"
#include "builder/commands/failure_report.h"
#include "compiler/compile_texts.h"
#include "compiler/decoding.h"
#include "compiler/decompile.h"
#include "compiler/error_code.h"
#include "compiler/output_files.h"
#include "compiler/scenario_diff.h"
#include "compiler/scenario_summary.h"
#include "scenario/build_names.h"
#include "scenario/control_bytes.h"
#include "scenario/file_system.h"
#include "scenario/line_text.h"
#include "scenario/service_text.h"
#include "scenario/text_file.h"

namespace builder {

namespace fs = std::filesystem;
using nlohmann::json;

namespace {

// A name or text of a file, Windows-1252, as the terminal is shown it.
std::string shown(std::string_view windows_1252) {
  return scenario::visible_control_bytes(scenario::from_windows_1252(windows_1252));
}

// The files of one build, read and decoded into a model.
struct build_files {
  fs::path grid_path;
  fs::path table_path;
  fs::path plan_path;  // empty when the build has no plan file
  std::string grid_bytes;
  std::string table_bytes;
  std::string plan_bytes;
  compiler::scenario_model model;
  // The plan file fills its metres otherwise than a compile does: from this
  // metre on, it is read as far as it goes.
  std::optional<std::int32_t> odd_plan_metre;
};

scenario::status read_one(const fs::path& path, compiler::output_file_kind kind,
                          std::string& bytes) {
  return scenario::read_whole_file(
      path, bytes, {compiler::max_file_size(kind), compiler::output_file_kind_name(kind)});
}

// The paths of the build's files: named one by one, or the one build in the
// folder that the names given match.
scenario::status locate_build(const build_place& place, build_files& files) {
  if (!place.files.empty()) {
    for (const std::string& file : place.files) {
      const fs::path path(file);
      const auto kind = compiler::output_file_kind_of(path.filename().string());
      fs::path* slot = !kind                                             ? nullptr
                       : *kind == compiler::output_file_kind::route_grid ? &files.grid_path
                       : *kind == compiler::output_file_kind::station_table
                           ? &files.table_path
                           : &files.plan_path;
      if (slot == nullptr) {
        return scenario::status::failure_at(
            path, "is not a build's file: ROUTE_TRAIN.dat, ROUTE_TRAIN.sim or ROUTE_linea.dat");
      }
      if (!slot->empty()) {
        return scenario::status::failure_at(path, fmt::format("a second {} after {}",
                                                              compiler::output_file_kind_name(*kind),
                                                              slot->string()));
      }
      *slot = path;
    }
    if (files.grid_path.empty() || files.table_path.empty()) {
      return scenario::status::failure(
          "a build needs its grid (ROUTE_TRAIN.dat) and its table (ROUTE_TRAIN.sim)");
    }
    return {};
  }
  build_name picked;
  if (const scenario::status found = pick_build(place.dir, place.route, place.train, picked);
      !found) {
    return found;
  }
  const std::string& route = picked.route;
  const std::string& train = picked.train;
  const fs::path dir(place.dir);
  files.grid_path = dir / compiler::route_grid_file_name(route, train);
  files.table_path = dir / compiler::station_table_file_name(route, train);
  files.plan_path = dir / compiler::track_plan_file_name(route);
  return {};
}

scenario::status read_build(const build_place& place, build_files& files) {
  if (const scenario::status located = locate_build(place, files); !located) return located;
  using kind = compiler::output_file_kind;
  if (const auto read = read_one(files.grid_path, kind::route_grid, files.grid_bytes); !read) {
    return read;
  }
  if (const auto read = read_one(files.table_path, kind::station_table, files.table_bytes); !read) {
    return read;
  }
  if (!files.plan_path.empty()) {
    const scenario::status read = read_one(files.plan_path, kind::track_plan, files.plan_bytes);
    // A build made without its plan has no plan file; one named is needed.
    if (!read && read.not_found() && place.files.empty()) {
      files.plan_path.clear();
    } else if (!read) {
      return read;
    }
  }
  return {};
}

// Decodes the files read into the model; the plan only when `with_plan`.
scenario::status decode_build(build_files& files, bool with_plan) {
  compiler::scenario_model& model = files.model;
  if (const auto decoded = compiler::decode_route_grid(files.grid_bytes, model.grid); !decoded) {
    return scenario::status::failure_at(files.grid_path, decoded.reason());
  }
  if (const auto decoded = compiler::decode_station_table(files.table_bytes, model.stations);
      !decoded) {
    return scenario::status::failure_at(files.table_path, decoded.reason());
  }
  if (with_plan && !files.plan_path.empty()) {
    compiler::plan_from_file read;
    if (const auto decoded = compiler::plan_of_file(files.plan_bytes, read); !decoded) {
      return scenario::status::failure_at(files.plan_path, decoded.reason());
    }
    model.plan = std::move(read.plan);
    model.plan_upper = model.plan.upper;
    files.odd_plan_metre = read.odd_metre;
  }
  return {};
}

// ---- decompile ----

// Neither text is written unless both may be: an author's text of the same
// name is kept unless `force`.
scenario::status refuse_existing(const std::vector<fs::path>& paths, bool force) {
  if (force) return {};
  for (const fs::path& path : paths) {
    const scenario::existence found = scenario::check_existence(path);
    if (!found.checked) return found.checked;
    if (found.exists) {
      return scenario::status::failure_at(path, "exists; give --force to replace it");
    }
  }
  return {};
}

}  // namespace

exit_status run_decompile_command(const decompile_options& options, std::ostream& out,
                                  std::ostream& err) {
  build_files files;
  if (const scenario::status read = read_build(options.build, files); !read) {
    return report_failure(err, read);
  }
  if (const scenario::status decoded = decode_build(files, true); !decoded) {
    return report_failure(err, decoded);
  }
  const compiler::decompiled back = compiler::decompile(files.model);
  // The texts take the names the table holds: the competition codes are
  // made from them.
  for (const auto& [name, checked] :
       {std::pair{&back.route_base_name, scenario::check_build_name(back.route_base_name)},
        std::pair{&back.train_number, scenario::check_train_number(back.train_number)}}) {
    if (!checked) {
      return report_failure(
          err, checked.within(fmt::format("the table names its build \"{}\"", shown(*name))));
    }
  }
  const fs::path directory(options.out);
  scenario::folder_lock lock;
  if (const scenario::status taken = scenario::take_output_folder(
          directory, "scenario-builder decompile", default_lock_wait, lock);
      !taken) {
    return report_failure(err, taken);
  }
  const fs::path line_path = directory / scenario::line_text_file_name(back.route_base_name);
  const fs::path service_path =
      directory / scenario::service_text_file_name(back.route_base_name, back.train_number);
  if (const scenario::status free = refuse_existing({line_path, service_path}, options.force);
      !free) {
    return report_failure(err, free);
  }
  for (const auto& [path, bytes] : {std::pair{line_path, &back.line_text},
                                    std::pair{service_path, &back.service_text}}) {
    if (const scenario::status written = scenario::write_file_atomically(path, *bytes); !written) {
      return report_failure(err, written);
    }
    out << "wrote " << path.string() << '\n';
  }

  if (files.odd_plan_metre) {
    err << fmt::format("note: the plan file fills its metres otherwise than a compile, from metre {}\n",
                       *files.odd_plan_metre);
  }
  for (const compiler::recovery_note& note : back.notes) {
    err << fmt::format("note: {} at {}: no row of the texts gives it\n", note.what, note.where);
  }
  if (back.recompiled_outcome != compiler::compile_outcome::complete) {
    err << "scenario-builder: the texts compile to no binary files\n";
    return exit_status::build_error;
  }
  if (back.recompiled_error.code != compiler::error_code::none) {
    err << fmt::format("scenario-builder: the texts record error {}: {}\n",
                       compiler::code_number(back.recompiled_error.code),
                       compiler::meaning(back.recompiled_error.code));
    return exit_status::build_error;
  }
  if (back.difference) {
    const compiler::model_difference& d = *back.difference;
    err << fmt::format(
        "scenario-builder: the texts compile to other bytes: first at {}, {}: the files hold {}, "
        "the texts give {}\n",
        d.where, d.field, shown(d.first), shown(d.second));
    return exit_status::build_error;
  }
  out << "the texts compile to the same bytes\n";
  return exit_status::clean;
}

// ---- diff ----

namespace {

// One side of a comparison: a build's files, or texts compiled in memory.
struct side {
  build_files files;
  bool from_texts = false;
};

scenario::status compile_side(const std::string& line, const std::string& service, side& s) {
  compiler::texts_compiled compiled;
  const compiler::build_settings settings{{}, {}, {}, true};
  if (const scenario::status done =
          compiler::compile_texts({fs::path(line), fs::path(service), std::nullopt, std::nullopt},
                                  settings, compiled);
      !done) {
    return done;
  }
  if (compiled.result.outcome != compiler::compile_outcome::complete) {
    return scenario::status::failure_at(fs::path(line), "these texts give no binary files");
  }
  s.files.model = std::move(compiled.model);
  s.from_texts = true;
  return {};
}

bool same_files(const build_files& a, const build_files& b) {
  return a.grid_bytes == b.grid_bytes && a.table_bytes == b.table_bytes &&
         a.plan_path.empty() == b.plan_path.empty() && a.plan_bytes == b.plan_bytes;
}

}  // namespace

exit_status run_diff_command(const diff_options& options, std::ostream& out, std::ostream& err) {
  side older;
  side newer;
  if (options.sides.size() == 2) {
    for (const auto& [dir, s] : {std::pair{options.sides[0], &older}, std::pair{options.sides[1], &newer}}) {
      build_place place;
      place.dir = dir;
      place.route = options.route;
      place.train = options.train;
      if (const scenario::status read = read_build(place, s->files); !read) {
        return report_failure(err, read.within("could not compare"));
      }
    }
  } else if (options.sides.size() == 4) {
    if (const auto done = compile_side(options.sides[0], options.sides[1], older); !done) {
      return report_failure(err, done.within("could not compare"));
    }
    if (const auto done = compile_side(options.sides[2], options.sides[3], newer); !done) {
      return report_failure(err, done.within("could not compare"));
    }
  } else {
    err << "scenario-builder: diff takes two build folders, or two pairs of texts\n";
    return exit_status::usage_or_file;
  }

  // Files that are the same bytes mean the same, and plans that are the same
  // bytes hold the same curves: neither is decoded.
  std::vector<compiler::meaning_change> changes;
  if (older.from_texts || !same_files(older.files, newer.files)) {
    if (!older.from_texts) {
      const bool plans_differ = older.files.plan_path.empty() != newer.files.plan_path.empty() ||
                                older.files.plan_bytes != newer.files.plan_bytes;
      for (side* s : {&older, &newer}) {
        if (const auto decoded = decode_build(s->files, plans_differ); !decoded) {
          return report_failure(err, decoded.within("could not compare"));
        }
      }
    }
    changes = compiler::compare_meaning(older.files.model, newer.files.model);
  }
  if (options.json) {
    json list = json::array();
    for (const compiler::meaning_change& c : changes) {
      json item = {{"subject", c.subject}, {"change", c.change}, {"before", c.before},
                   {"after", c.after}};
      item["km"] = c.position < 0 ? json(nullptr) : json(static_cast<double>(c.position) / 1000.0);
      list.push_back(std::move(item));
    }
    out << scenario::json_without_raw_control_bytes(
               list.dump(2, ' ', false, json::error_handler_t::replace))
        << '\n';
  } else {
    for (const compiler::meaning_change& c : changes) {
      out << scenario::visible_control_bytes(c.change) << '\n';
    }
    if (changes.empty()) out << "the two mean the same\n";
  }
  return changes.empty() ? exit_status::clean : exit_status::build_error;
}

// ---- summary ----

namespace {

constexpr std::size_t listed_on_screen = 12;

template <class Item, class Format>
std::string listed(const std::vector<Item>& items, Format format, std::string_view none) {
  if (items.empty()) return std::string(none);
  std::string out;
  for (std::size_t i = 0; i < items.size() && i < listed_on_screen; ++i) {
    if (!out.empty()) out += "; ";
    out += format(items[i]);
  }
  if (items.size() > listed_on_screen) {
    out += fmt::format("; and {} more", items.size() - listed_on_screen);
  }
  return out;
}

std::string stretch(std::int64_t from, std::int64_t to) {
  return fmt::format("{}\u2013{} km", compiler::kilometres(from), compiler::kilometres(to));
}

json summary_json(const compiler::scenario_summary& s) {
  const auto km = [](std::int64_t m) { return static_cast<double>(m) / 1000.0; };
  json stations = json::array();
  for (const auto& st : s.stations) {
    stations.push_back({{"km", km(st.position)},
                        {"name", scenario::from_windows_1252(st.name)},
                        {"type", st.type},
                        {"departure", st.departure},
                        {"dwell_s", st.dwell}});
  }
  const auto stretches = [&](const std::vector<compiler::summary_stretch>& list, const char* unit) {
    json out = json::array();
    for (const auto& x : list) {
      out.push_back({{"from_km", km(x.from)}, {"to_km", km(x.to)}, {unit, x.value}});
    }
    return out;
  };
  json curves = json::array();
  for (const auto& c : s.sharpest_curves) {
    curves.push_back({{"from_km", km(c.from)},
                      {"to_km", km(c.to)},
                      {"class", c.curve_class},
                      {"sense", c.negative_sense ? "s" : "d"},
                      {"radius_m", c.radius_m}});
  }
  json signals = json::array();
  for (const std::int64_t p : s.signals) signals.push_back(km(p));
  json slowdowns = json::array();
  for (const auto& sd : s.slowdowns) {
    slowdowns.push_back({{"from_km", km(sd.from)}, {"to_km", km(sd.to)}, {"speed_kmh", sd.speed}});
  }
  return {{"route", scenario::from_windows_1252(s.route_base_name)},
          {"train", scenario::from_windows_1252(s.train_number)},
          {"length_km", km(s.length_m)},
          {"stations", stations},
          {"steepest_gradients", stretches(s.steepest_gradients, "per_mille")},
          {"sharpest_curves", curves},
          {"speed_limits", stretches(s.speed_limits, "speed_kmh")},
          {"tunnels", stretches(s.tunnels, "type")},
          {"signals_km", signals},
          {"slowdowns", slowdowns}};
}

void print_summary(const compiler::scenario_summary& s, std::ostream& out) {
  out << fmt::format("{}, train {}: {} km\n", shown(s.route_base_name), shown(s.train_number),
                     compiler::kilometres(s.length_m));
  out << fmt::format("stations ({}):\n", s.stations.size());
  for (const auto& st : s.stations) {
    out << fmt::format("  {:>9} km  {:<24} type {:<3} {}  dwell {} s\n",
                       compiler::kilometres(st.position), shown(st.name), st.type, st.departure,
                       st.dwell);
  }
  out << "steepest gradients: "
      << listed(s.steepest_gradients,
                [](const auto& g) { return fmt::format("{} \u2030 at {}", g.value, stretch(g.from, g.to)); },
                "level throughout")
      << '\n';
  out << "sharpest curves: "
      << listed(s.sharpest_curves,
                [](const auto& c) {
                  return fmt::format("radius {} m (class {}{}) at {}", c.radius_m,
                                     c.negative_sense ? "s" : "d", c.curve_class,
                                     stretch(c.from, c.to));
                },
                "none")
      << '\n';
  out << "speed limits: "
      << listed(s.speed_limits,
                [](const auto& l) { return fmt::format("{} {} km/h", stretch(l.from, l.to), l.value); },
                "none")
      << '\n';
  out << fmt::format("tunnels ({}): ", s.tunnels.size())
      << listed(s.tunnels,
                [](const auto& t) { return fmt::format("{} type {}", stretch(t.from, t.to), t.value); },
                "none")
      << '\n';
  out << fmt::format("signals ({}): ", s.signals.size())
      << listed(s.signals, [](std::int64_t p) { return compiler::kilometres(p) + " km"; }, "none")
      << '\n';
  out << fmt::format("slowdowns ({}): ", s.slowdowns.size())
      << listed(s.slowdowns,
                [](const auto& sd) { return fmt::format("{} {} km/h", stretch(sd.from, sd.to), sd.speed); },
                "none")
      << '\n';
}

}  // namespace

exit_status run_summary_command(const summary_options& options, std::ostream& out,
                                std::ostream& err) {
  compiler::scenario_summary summary;
  std::optional<compiler::recorded_error> recorded;
  if (!options.texts.empty()) {
    if (options.texts.size() != 2) {
      err << "scenario-builder: summary takes both texts, LINE_TEXT and SERVICE_TEXT, or none\n";
      return exit_status::usage_or_file;
    }
    compiler::texts_compiled compiled;
    const compiler::build_settings settings{{}, {}, {}, true};
    if (const scenario::status done = compiler::compile_texts(
            {fs::path(options.texts[0]), fs::path(options.texts[1]), std::nullopt, std::nullopt},
            settings, compiled);
        !done) {
      return report_failure(err, done);
    }
    if (compiled.result.outcome != compiler::compile_outcome::complete) {
      err << "scenario-builder: these texts give no binary files: compile them to see why\n";
      return exit_status::fatal;
    }
    summary = compiler::summarize(compiled.model);
    recorded = compiled.result.error;
  } else {
    build_files files;
    if (const scenario::status read = read_build(options.build, files); !read) {
      return report_failure(err, read);
    }
    if (const scenario::status decoded = decode_build(files, true); !decoded) {
      return report_failure(err, decoded);
    }
    summary = compiler::summarize(files.model);
  }

  const bool has_error = recorded && recorded->code != compiler::error_code::none;
  const std::string error_text =
      !recorded ? std::string("not known from the files")
      : !has_error
          ? std::string("none")
          : fmt::format("error {} at {} m: {}", compiler::code_number(recorded->code),
                        recorded->position, compiler::meaning(recorded->code));
  if (options.json) {
    json value = summary_json(summary);
    value["recorded_error"] = !recorded ? json(nullptr)
                              : has_error ? json{{"code", compiler::code_number(recorded->code)},
                                                 {"position_m", recorded->position}}
                                          : json(0);
    out << scenario::json_without_raw_control_bytes(
               value.dump(2, ' ', false, json::error_handler_t::replace))
        << '\n';
  } else {
    print_summary(summary, out);
    out << "recorded error: " << error_text << '\n';
  }
  return has_error ? exit_status::build_error : exit_status::clean;
}

}  // namespace builder
