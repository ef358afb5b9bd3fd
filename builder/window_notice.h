#pragma once
// The waiting notice as a desktop window, and a fatal error as a modal
// message box. Only drawing lives here: the build decides when each is shown.
// Compiled only when the program is built with FLTK.

#include <memory>
#include <string_view>

#include "builder/waiting_notice.h"

class Fl_Window;

namespace builder {

class window_notice final : public waiting_notice {
 public:
  // Connects to the display the environment names. Empty when no display can
  // be opened, so that the caller can fall back to the terminal.
  static std::unique_ptr<window_notice> open();

  window_notice(const window_notice&) = delete;
  window_notice& operator=(const window_notice&) = delete;
  ~window_notice() override;

  // Shows the window and returns once it is painted on screen.
  void show() override;
  // Takes the window off the screen.
  void close() override;
  // Shows `text` in a modal box with one OK button; returns when the box is
  // closed, by the button, the Enter or Escape key, or the window manager.
  void show_error(std::string_view text) override;

 private:
  window_notice();

  std::unique_ptr<Fl_Window> window_;
};

}  // namespace builder
