#include "builder/window/notice_factory.h"

#include <cstdlib>

#if defined(_WIN32)
#include "builder/window/win32_notice.h"
#elif defined(SCENARIO_HAS_WINDOW)
#include "builder/window/window_module.h"
#endif

namespace builder {

namespace {

[[maybe_unused]] bool environment_names_display() {
  for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY"}) {
    const char* value = std::getenv(name);
    if (value != nullptr && *value != '\0') return true;
  }
  return false;
}

}  // namespace

std::unique_ptr<waiting_notice> make_waiting_notice(bool window_allowed, std::ostream& out,
                                                    std::ostream& err) {
#if defined(_WIN32)
  // Windows always has a desktop to ask; a session without one gives no
  // window, and the terminal takes over.
  if (window_allowed) {
    if (auto window = win32_notice::open()) return window;
  }
#elif defined(SCENARIO_HAS_WINDOW)
  if (window_allowed && environment_names_display()) {
    if (auto window = open_window_from_module(err)) return window;
  }
#else
  (void)window_allowed;
#endif
  return std::make_unique<terminal_notice>(out, err);
}

}  // namespace builder
