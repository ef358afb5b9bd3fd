#pragma once
// The waiting notice as a native Windows window, `Form1` holding the label
// `Label1`, and a fatal error as a native message box. Only drawing lives
// here: the build decides when each is shown. Compiled only for Windows.

#include <memory>
#include <string_view>

#include "builder/notice/waiting_notice.h"

struct HWND__;
struct HFONT__;

namespace builder {

class win32_notice final : public waiting_notice {
 public:
  // Creates the window, hidden. Empty when the system gives no window (a
  // session without a desktop), so that the caller can fall back to the
  // terminal.
  static std::unique_ptr<win32_notice> open();

  // Takes ownership of the window and the label's font.
  win32_notice(HWND__* waiting_window, HFONT__* label_font);
  win32_notice(const win32_notice&) = delete;
  win32_notice& operator=(const win32_notice&) = delete;
  ~win32_notice() override;

  // Shows the window and returns once it is painted on screen.
  void show() override;
  // Takes the window off the screen.
  void close() override;
  // Shows `text` in a message box with one OK button, owned by the window;
  // returns when the box is closed.
  void show_error(std::string_view text) override;

 private:
  HWND__* waiting_window_;
  HFONT__* label_font_;
};

}  // namespace builder
