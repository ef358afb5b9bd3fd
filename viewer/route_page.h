#pragma once
// One self-contained HTML page that shows a compiled build: the track from
// above, the profiles, curves and objects along the line, the stations and
// the line's parameters; for a compile of texts, its errors and warnings
// too. Everything the page needs is inside it: it loads nothing, and a page
// that is served live only listens to the event stream of the server that
// gave it.

#include <optional>
#include <string>

#include "viewer/build_notes.h"
#include "viewer/route_files.h"

namespace viewer {

struct page_parts {
  std::string route_base_name;
  std::string train_number;
  // What is drawn; nothing when the texts gave no grid to draw.
  const route_view* drawing = nullptr;
  // The compile that made the drawing, whose rows the objects' hovers name.
  const build_notes* drawing_notes = nullptr;
  // The compile the page reports on: its errors, warnings and recorded error.
  const build_notes* notes = nullptr;
  // The drawing is that of an earlier compile than the notes': it is greyed.
  bool earlier_drawing = false;
  // Served live: what names this build, which the server's event stream
  // names again when a newer one is ready.
  std::optional<std::string> live_build;
};

std::string route_page(const page_parts& parts);

// The page of a build's files alone.
std::string route_page(const route_view& view);

}  // namespace viewer
