#pragma once
// What the user sees while a build runs: a notice asking them to wait, and
// the report of a fatal error. The build talks only to this interface, so a
// terminal or a window can stand behind it.

#include <functional>
#include <iosfwd>
#include <memory>
#include <string>
#include <string_view>

namespace builder {

inline constexpr std::string_view waiting_text = "Attendere";

// The title of a desktop window; the error box carries it too, followed by
// ": errore".
inline constexpr std::string_view window_title = "scenario-builder";

// The waiting window on either desktop, in pixels of a 96 dpi screen: the
// client area of `Form1`, and `Label1` within it with its bold sans-serif
// face of 24 points.
inline constexpr int client_width_px = 280;
inline constexpr int client_height_px = 179;
inline constexpr int label_x_px = 64;
inline constexpr int label_y_px = 64;
inline constexpr int label_width_px = 177;
inline constexpr int label_height_px = 53;
inline constexpr int label_font_points = 24;

// " Errore n. " followed by the code, as the error box shows it.
std::string fatal_error_text(std::string_view code);

class waiting_notice {
 public:
  virtual ~waiting_notice() = default;
  // Shown before the first build step, and kept up for the whole build.
  virtual void show() = 0;
  // The build has ended.
  virtual void close() = 0;
  // Shows a fatal error (`errore`); returns when the user has taken note.
  virtual void show_error(std::string_view text) = 0;
};

// Prints the notice on standard output and errors on standard error.
class terminal_notice final : public waiting_notice {
 public:
  terminal_notice(std::ostream& out, std::ostream& err) : out_(out), err_(err) {}
  void show() override;
  void close() override {}
  void show_error(std::string_view text) override;

 private:
  std::ostream& out_;
  std::ostream& err_;
};

// What makes a build's notice: a window where one is allowed and can be
// had, else the terminal. The program hands the window's maker to the
// commands, which never include the window's code themselves.
using notice_maker = std::function<std::unique_ptr<waiting_notice>(
    bool window_allowed, std::ostream& out, std::ostream& err)>;

// The terminal notice, whatever is allowed: the maker of a program without
// a window, and of the tests.
std::unique_ptr<waiting_notice> make_terminal_notice(bool window_allowed, std::ostream& out,
                                                     std::ostream& err);

}  // namespace builder
