#pragma once
// Chooses what stands behind the waiting notice: the desktop window when the
// program has one and a display can be reached, the terminal otherwise. On
// Windows the window is the system's own.

#include <iosfwd>
#include <memory>

#include "builder/notice/waiting_notice.h"

namespace builder {

// The window when `window_allowed`, the program was built with FLTK, the
// environment names a display (DISPLAY or WAYLAND_DISPLAY), the window's
// module loads and the display opens; on Windows, the native window when
// `window_allowed` and the system creates it. Otherwise a terminal notice
// printing on `out` and `err`, after a line on `err` when the module would
// not load. Never ends the process, whatever the display does.
std::unique_ptr<waiting_notice> make_waiting_notice(bool window_allowed, std::ostream& out,
                                                    std::ostream& err);

}  // namespace builder
