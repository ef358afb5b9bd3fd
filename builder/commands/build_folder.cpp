#include "builder/commands/build_folder.h"

#include <fmt/format.h>

#include <algorithm>
#include <cctype>
#include <iterator>
#include <set>
#include <string_view>
#include <utility>

#include "scenario/build_names.h"
#include "scenario/file_system.h"

namespace builder {

namespace {

bool ends_with_ignoring_case(std::string_view name, std::string_view suffix) {
  if (name.size() < suffix.size()) return false;
  return std::equal(suffix.begin(), suffix.end(),
                    name.end() - static_cast<std::ptrdiff_t>(suffix.size()), [](char a, char b) {
                      return std::tolower(static_cast<unsigned char>(a)) ==
                             std::tolower(static_cast<unsigned char>(b));
                    });
}

std::string choices(const std::vector<build_name>& builds) {
  std::string list;
  for (const build_name& b : builds) {
    list += fmt::format("\n  --route {} --train {}", b.route, b.train);
  }
  return list;
}

// "route Alpe and train 78", or the one name given.
std::string names_given(const std::optional<std::string>& route,
                        const std::optional<std::string>& train) {
  if (route && train) return fmt::format("route {} and train {}", *route, *train);
  if (route) return fmt::format("route {}", *route);
  return fmt::format("train {}", *train);
}

}  // namespace

scenario::status list_builds(const std::string& dir, std::vector<build_name>& builds) {
  std::vector<std::string> names;
  if (const scenario::status listed = scenario::list_regular_files(dir, names); !listed) {
    return listed;
  }
  const std::set<std::string> present(names.begin(), names.end());
  builds.clear();
  for (const std::string& name : names) {
    // ROUTE_linea.dat is a track plan, never a grid.
    if (!name.ends_with(".dat") || ends_with_ignoring_case(name, "_linea.dat")) continue;
    const std::string stem = name.substr(0, name.size() - 4);
    if (!present.contains(stem + ".sim")) continue;
    const std::size_t split = stem.rfind('_');
    if (split == std::string::npos) continue;
    build_name b{stem.substr(0, split), stem.substr(split + 1)};
    if (scenario::check_build_name(b.route) && scenario::check_train_number(b.train)) {
      builds.push_back(std::move(b));
    }
  }
  return {};
}

scenario::status pick_build(const std::string& dir, const std::optional<std::string>& route,
                            const std::optional<std::string>& train, build_name& picked) {
  if (route) {
    if (const scenario::status checked = scenario::check_route_given(*route); !checked) {
      return checked;
    }
  }
  if (train) {
    if (const scenario::status checked = scenario::check_train_given(*train); !checked) {
      return checked;
    }
  }
  std::vector<build_name> builds;
  if (const scenario::status listed = list_builds(dir, builds); !listed) return listed;
  const std::string shown_dir = dir.empty() ? std::string(".") : dir;
  if (builds.empty()) {
    return scenario::status::failure(
        fmt::format("{} holds no build (a ROUTE_TRAIN.dat and ROUTE_TRAIN.sim pair)", shown_dir));
  }
  std::vector<build_name> matching;
  std::copy_if(builds.begin(), builds.end(), std::back_inserter(matching), [&](const auto& b) {
    return (!route || b.route == *route) && (!train || b.train == *train);
  });
  if (matching.size() == 1) {
    picked = matching.front();
    return {};
  }
  if (matching.empty()) {
    return scenario::status::failure(fmt::format("{} holds no build of {}; the builds it holds:{}",
                                                 shown_dir, names_given(route, train),
                                                 choices(builds)));
  }
  return scenario::status::failure(
      fmt::format("{} holds {} builds: name one{}", shown_dir, matching.size(), choices(matching)));
}

}  // namespace builder
