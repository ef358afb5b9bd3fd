#pragma once
// The builds a folder holds, told from its files' names, and the one a
// command that reads a build out of a folder (view, decompile, diff,
// summary) takes.

#include <optional>
#include <string>
#include <vector>

#include "scenario/status.h"

namespace builder {

struct build_name {
  std::string route;
  std::string train;

  friend bool operator==(const build_name&, const build_name&) = default;
};

// The builds in `dir`, in the order of their files' names: each grid and
// table pair ROUTE_TRAIN.dat and ROUTE_TRAIN.sim whose names are a route
// base name and a train number. The stem splits at its last "_", since a
// train number holds none.
scenario::status list_builds(const std::string& dir, std::vector<build_name>& builds);

// The one build in `dir` that the names given match; a name not given
// matches any. A name given that cannot name a build is refused as compile
// refuses it. No match, or more than one, is a failure that lists the builds
// the folder holds, each as the options that pick it.
scenario::status pick_build(const std::string& dir, const std::optional<std::string>& route,
                            const std::optional<std::string>& train, build_name& picked);

}  // namespace builder
