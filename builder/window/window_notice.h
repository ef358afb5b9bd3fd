#pragma once
// The waiting notice as a desktop window, and a fatal error as a modal
// message box. Only drawing lives here: the build decides when each is shown.
// Compiled only when the program is built with FLTK, into the module the
// program loads when a display is named (builder/window_module.h).

#include <memory>
#include <string_view>

#include "builder/notice/waiting_notice.h"

class Fl_Box;
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
  // Only open() makes one, once the display answers.
  struct display_reached {};

 public:
  explicit window_notice(display_reached);

 private:
  // The label is declared after the window so that it goes first: a widget
  // leaves its group when it is deleted.
  std::unique_ptr<Fl_Window> waiting_window_;
  std::unique_ptr<Fl_Box> message_label_;
};

}  // namespace builder
