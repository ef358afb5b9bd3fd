#include "builder/window/window_notice.h"

#include <FL/Fl.H>
#include <FL/Fl_Box.H>
#include <FL/Fl_Button.H>
#include <FL/Fl_Window.H>
#include <FL/fl_draw.H>
#include <FL/x.H>

#include <algorithm>
#include <string>

#include "builder/version_text.h"

namespace builder {

namespace {

// FLTK sizes fonts in pixels: 24 points are 32 pixels at the 96 dpi that the
// rest of the geometry assumes, and at that size the word fills the label.
constexpr Fl_Fontsize label_font_px = label_font_points * 96 / 72;
// The label is just wide enough for the word in a face of Helvetica's widths;
// the usual default sans face is wider and would spill out of it. The font
// matcher gives Helvetica's metric twin where one is installed (Nimbus Sans,
// Liberation Sans), else its default sans. The leading B asks for bold.
constexpr Fl_Font label_font = FL_FREE_FONT;
constexpr const char* label_font_name = "BHelvetica";

// The error box: the message over one centred button, with even margins.
constexpr Fl_Fontsize message_font_px = 14;
constexpr int box_margin_px = 20;
constexpr int box_min_width_px = 240;
constexpr int button_width_px = 80;
constexpr int button_height_px = 25;

// The build cannot be stopped half way, so a request to close the waiting
// window is ignored; the window goes when the build ends.
void ignore_close(Fl_Widget*, void*) {}

void close_box(Fl_Widget* button, void*) { button->window()->hide(); }

// The top left corner that centres a window of this size on the screen.
void centre_on_screen(Fl_Window& window) {
  window.position((Fl::w() - window.w()) / 2, (Fl::h() - window.h()) / 2);
}

}  // namespace

std::unique_ptr<window_notice> window_notice::open() {
  // FLTK ends the process when it cannot reach its display, so the connection
  // is tried here first and handed over to FLTK only once it works.
  if (fl_display == nullptr) {
    Display* display = XOpenDisplay(nullptr);
    if (display == nullptr) return nullptr;
    fl_open_display(display);
  }
  return std::make_unique<window_notice>(display_reached{});
}

window_notice::window_notice(display_reached)
    : waiting_window_(std::make_unique<Fl_Window>(client_width_px, client_height_px)) {
  waiting_window_->copy_label(std::string(window_title).c_str());
  waiting_window_->callback(ignore_close);
  waiting_window_->size_range(client_width_px, client_height_px, client_width_px, client_height_px);
  centre_on_screen(*waiting_window_);
  // A widget created between a group's construction and end() joins the
  // group.
  message_label_ =
      std::make_unique<Fl_Box>(label_x_px, label_y_px, label_width_px, label_height_px);
  message_label_->copy_label(std::string(waiting_text).c_str());
  Fl::set_font(label_font, label_font_name);
  message_label_->labelfont(label_font);
  message_label_->labelsize(label_font_px);
  message_label_->align(FL_ALIGN_TOP_LEFT | FL_ALIGN_INSIDE);
  waiting_window_->end();
}

window_notice::~window_notice() = default;

void window_notice::show() {
  waiting_window_->show();
  // No window event is handled while the build runs, so the window must be
  // mapped and painted now: what is drawn here stays up for the whole build.
  waiting_window_->wait_for_expose();
  Fl::flush();
  XSync(fl_display, False);
}

void window_notice::close() {
  waiting_window_->hide();
  Fl::flush();
}

void window_notice::show_error(std::string_view text) {
  const std::string message(text);
  const std::string title = std::string(window_title) + ": errore";
  fl_font(FL_HELVETICA, message_font_px);
  int text_width = 0;
  int text_height = 0;
  fl_measure(message.c_str(), text_width, text_height, 0);

  const int width = std::max(box_min_width_px, text_width + 2 * box_margin_px);
  const int height = text_height + button_height_px + 3 * box_margin_px;
  // The widgets are declared after the box so that they go first and leave
  // it as they go.
  Fl_Window box(width, height);
  box.copy_label(title.c_str());
  centre_on_screen(box);
  const auto message_label = std::make_unique<Fl_Box>(box_margin_px, box_margin_px,
                                                      width - 2 * box_margin_px, text_height);
  message_label->copy_label(message.c_str());
  message_label->labelsize(message_font_px);
  message_label->align(FL_ALIGN_LEFT | FL_ALIGN_INSIDE);
  const auto ok = std::make_unique<Fl_Button>((width - button_width_px) / 2,
                                              height - box_margin_px - button_height_px,
                                              button_width_px, button_height_px, "OK");
  ok->shortcut(FL_Enter);
  ok->callback(close_box);
  box.end();

  // Modal: while the box is up, the waiting window takes no input.
  box.set_modal();
  box.show();
  while (box.shown()) Fl::wait();
}

}  // namespace builder

// The module's entry points, which the program looks up by name
// (builder/window_module.h).
extern "C" {

const char* scenario_window_module_version() { return SCENARIO_BUILDER_VERSION; }

builder::waiting_notice* scenario_open_window_notice() {
  return builder::window_notice::open().release();
}

}  // extern "C"
