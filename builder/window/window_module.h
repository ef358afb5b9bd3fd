#pragma once
// The FLTK window lives in a module of its own, which the program loads only
// when a display is named. Linked in, FLTK and the X libraries it brings
// (some twenty shared libraries) would be mapped and relocated at every
// start: a third of the time of a build that never shows a window.
//
// The module and the program share C++ types across the boundary, so a
// module is used only when it was built from the same sources as the
// program: each carries the text `--version` prints, and they must match.

#include <iosfwd>
#include <memory>

#include "builder/notice/waiting_notice.h"

namespace builder {

// The module's file name, and the names of the two functions it exports.
inline constexpr const char* window_module_file = "scenario-builder-window.so";
inline constexpr const char* window_module_version_symbol = "scenario_window_module_version";
inline constexpr const char* window_module_open_symbol = "scenario_open_window_notice";

// scenario_window_module_version: the version text the module was built with.
using window_module_version_function = const char* (*)();
// scenario_open_window_notice: a window the caller owns, or null when no
// display can be opened.
using window_module_open_function = waiting_notice* (*)();

// Loads the module from the first directory of the program's library search
// path that holds it (the build tree; once installed, the module's directory
// relative to the program, then where it was installed, so that a copy of the
// program elsewhere finds it too), and opens the window. Null, with one line on `err` saying why, when no module can be
// loaded; null alone when the display does not open. A loaded module stays
// loaded for the life of the process, as the window's code is in it.
std::unique_ptr<waiting_notice> open_window_from_module(std::ostream& err);

}  // namespace builder
