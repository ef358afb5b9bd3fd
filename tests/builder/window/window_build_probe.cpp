// Test-only driver of the build with the notice the program would choose, so
// that a test script can watch the window from outside while the build runs.
//
//   window_build_probe DIRECTORY [--no-window] [--force-1250]
//                      [--hold STEP]... [--release FILE]
//
// Builds the embedded scenario into DIRECTORY through run_build. At each
// held STEP (a step name the build passes to its hook, or "end" for after
// the build) it prints "holding at STEP" and waits until FILE exists, then
// removes FILE and goes on; the build itself is never slowed by the product.
// --force-1250 rewrites the line text just before it is compiled so that the
// first final check fails. With a window, the probe prints every shown window
// and its widgets at each hold, and the error box once it is up, as lines
// the script compares; it ends with "exit status N" and returns N.

#include <algorithm>
#include <cctype>
#include <chrono>
#include <filesystem>
#include <iostream>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include <fmt/format.h>

#include "builder/commands/build_sequence.h"
#include "builder/window/notice_factory.h"
#include "compiler/compile.h"
#include "scenario/file_system.h"
#include "scenario/line_text.h"
#include "scenario/text_file.h"

#ifdef _WIN32
#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <atomic>
#endif

#ifdef SCENARIO_HAS_WINDOW
#include <FL/Fl.H>
#include <FL/Fl_Box.H>
#include <FL/Fl_Button.H>
#include <FL/Fl_Window.H>
#endif

namespace {

struct options {
  std::filesystem::path directory;
  bool window_allowed = true;
  bool force_1250 = false;
  std::vector<std::string> holds;
  std::filesystem::path release_file;
};

bool parse(int argc, char** argv, options& parsed) {
  if (argc < 2) return false;
  parsed.directory = argv[1];
  for (int i = 2; i < argc; ++i) {
    const std::string_view arg = argv[i];
    if (arg == "--no-window") {
      parsed.window_allowed = false;
    } else if (arg == "--force-1250") {
      parsed.force_1250 = true;
    } else if (arg == "--hold" && i + 1 < argc) {
      parsed.holds.emplace_back(argv[++i]);
    } else if (arg == "--release" && i + 1 < argc) {
      parsed.release_file = argv[++i];
    } else {
      return false;
    }
  }
  return parsed.holds.empty() || !parsed.release_file.empty();
}

#ifdef SCENARIO_HAS_WINDOW

std::string widget_kind(Fl_Widget& widget) {
  if (dynamic_cast<Fl_Button*>(&widget) != nullptr) return "button";
  if (dynamic_cast<Fl_Box*>(&widget) != nullptr) return "box";
  return "widget";
}

void describe_window(std::string_view prefix, Fl_Window& window) {
  std::cout << fmt::format("{}window \"{}\" client {}x{} modal {} children {}\n", prefix,
                           window.label() ? window.label() : "", window.w(), window.h(),
                           window.modal() ? 1 : 0, window.children());
  for (int i = 0; i < window.children(); ++i) {
    Fl_Widget& child = *window.child(i);
    std::cout << fmt::format("  {} \"{}\" at {},{} size {}x{} font \"{}\" size {}\n",
                             widget_kind(child), child.label() ? child.label() : "", child.x(),
                             child.y(), child.w(), child.h(), Fl::get_font_name(child.labelfont()),
                             child.labelsize());
  }
  std::cout << std::flush;
}

int shown_windows() {
  int count = 0;
  for (Fl_Window* w = Fl::first_window(); w != nullptr; w = Fl::next_window(w)) ++count;
  return count;
}

void describe_shown_windows() {
  for (Fl_Window* w = Fl::first_window(); w != nullptr; w = Fl::next_window(w)) {
    describe_window("", *w);
  }
}

// Runs inside the error box's own event loop, which is the only time the
// program handles events; reports the box once it is up.
void report_modal_box(void*) {
  for (Fl_Window* w = Fl::first_window(); w != nullptr; w = Fl::next_window(w)) {
    if (w->modal()) {
      describe_window("modal ", *w);
      return;
    }
  }
  Fl::repeat_timeout(0.02, report_modal_box);
}

#endif

#ifdef _WIN32

std::string narrow(const std::wstring& wide) {
  if (wide.empty()) return {};
  const int size = static_cast<int>(wide.size());
  const int length =
      WideCharToMultiByte(CP_UTF8, 0, wide.data(), size, nullptr, 0, nullptr, nullptr);
  std::string bytes(static_cast<std::size_t>(length), '\0');
  WideCharToMultiByte(CP_UTF8, 0, wide.data(), size, bytes.data(), length, nullptr, nullptr);
  return bytes;
}

std::string window_text(HWND window) {
  std::wstring text(static_cast<std::size_t>(GetWindowTextLengthW(window)) + 1, L'\0');
  text.resize(
      static_cast<std::size_t>(GetWindowTextW(window, text.data(), static_cast<int>(text.size()))));
  return narrow(text);
}

std::string class_of(HWND window) {
  wchar_t name[256] = {};
  GetClassNameW(window, name, 256);
  return narrow(name);
}

BOOL CALLBACK describe_child(HWND child, LPARAM) {
  RECT rect{};
  GetWindowRect(child, &rect);
  MapWindowPoints(nullptr, GetParent(child), reinterpret_cast<POINT*>(&rect), 2);
  LOGFONTW font{};
  const auto handle = reinterpret_cast<HFONT>(SendMessageW(child, WM_GETFONT, 0, 0));
  if (handle != nullptr) GetObjectW(handle, sizeof font, &font);
  std::cout << fmt::format("  {} \"{}\" at {},{} size {}x{} font \"{}\" height {} weight {}\n",
                           class_of(child), window_text(child), rect.left, rect.top,
                           rect.right - rect.left, rect.bottom - rect.top, narrow(font.lfFaceName),
                           font.lfHeight, font.lfWeight);
  return TRUE;
}

BOOL CALLBACK count_child(HWND, LPARAM count) {
  ++*reinterpret_cast<int*>(count);
  return TRUE;
}

BOOL CALLBACK describe_top_window(HWND window, LPARAM) {
  if (!IsWindowVisible(window)) return TRUE;
  RECT client{};
  GetClientRect(window, &client);
  int children = 0;
  EnumChildWindows(window, count_child, reinterpret_cast<LPARAM>(&children));
  const auto style = static_cast<DWORD>(GetWindowLongPtrW(window, GWL_STYLE));
  std::cout << fmt::format("window \"{}\" class {} client {}x{} menu {} sizable {} children {}\n",
                           window_text(window), class_of(window), client.right, client.bottom,
                           GetMenu(window) != nullptr ? 1 : 0, (style & WS_THICKFRAME) != 0 ? 1 : 0,
                           children);
  EnumChildWindows(window, describe_child, 0);
  return TRUE;
}

BOOL CALLBACK count_shown(HWND window, LPARAM count) {
  if (IsWindowVisible(window)) ++*reinterpret_cast<int*>(count);
  return TRUE;
}

DWORD main_thread = 0;

void describe_shown_windows() {
  EnumThreadWindows(main_thread, describe_top_window, 0);
  std::cout << std::flush;
}

int shown_windows() {
  int count = 0;
  EnumThreadWindows(main_thread, count_shown, reinterpret_cast<LPARAM>(&count));
  return count;
}

// Watches from a second thread for the error box, which holds the main one
// while it is up, and reports it once: its text, its buttons and its owner.
class error_box_watch {
 public:
  void start() {
    thread_ = std::thread([this] {
      const std::wstring title = L"scenario-builder: errore";
      while (!stop_) {
        HWND box = FindWindowW(nullptr, title.c_str());
        if (box != nullptr && IsWindowVisible(box)) {
          describe(box);
          return;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
      }
    });
  }
  ~error_box_watch() {
    stop_ = true;
    if (thread_.joinable()) thread_.join();
  }

 private:
  static void describe(HWND box) {
    HWND owner = GetWindow(box, GW_OWNER);
    std::cout << fmt::format("modal box \"{}\" owned by \"{}\" owner enabled {}\n",
                             window_text(box), owner != nullptr ? window_text(owner) : "",
                             owner != nullptr && IsWindowEnabled(owner) ? 1 : 0);
    for (HWND child = GetWindow(box, GW_CHILD); child != nullptr;
         child = GetWindow(child, GW_HWNDNEXT)) {
      if (!IsWindowVisible(child)) continue;
      const std::string kind = class_of(child);
      if (kind == "Button" || kind == "Static") {
        const std::string text = window_text(child);
        if (!text.empty()) std::cout << fmt::format("  {} \"{}\"\n", kind, text);
      }
    }
    // Where a script can click the button, in screen pixels.
    if (HWND ok = FindWindowExW(box, nullptr, L"Button", nullptr)) {
      RECT rect{};
      GetWindowRect(ok, &rect);
      std::cout << fmt::format("button centre {} {}\n", (rect.left + rect.right) / 2,
                               (rect.top + rect.bottom) / 2);
    }
    std::cout << std::flush;
  }

  std::thread thread_;
  std::atomic<bool> stop_ = false;
};

#endif

void wait_for_release(const options& parsed, std::string_view step) {
  std::cout << "holding at " << step << std::endl;
  // A script that died must not leave the probe waiting for ever.
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::minutes(2);
  while (!std::filesystem::exists(parsed.release_file)) {
    if (std::chrono::steady_clock::now() > deadline) {
      std::cout << "hold timed out" << std::endl;
      return;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  std::filesystem::remove(parsed.release_file);
}

// A speed-board row at position 0 puts its boards into cell 1, whose first
// parameter the final check expects still empty: the build then ends in 1250.
bool force_fixed_values_taken(const std::filesystem::path& line_path) {
  std::string text;
  if (!scenario::read_whole_file(line_path, text, scenario::description_text_bound)) return false;
  const std::string keyword = "indicatori_vmax,";
  std::size_t row = text.rfind(keyword, 0) == 0 ? 0 : text.find("\n" + keyword);
  if (row == std::string::npos) return false;
  if (row != 0) ++row;
  std::size_t start = row + keyword.size();
  while (start < text.size() && text[start] == ' ') ++start;
  std::size_t end = start;
  while (end < text.size() && std::isdigit(static_cast<unsigned char>(text[end])) != 0) ++end;
  if (end == start) return false;
  text.replace(start, end - start, "0");
  return static_cast<bool>(scenario::write_file_atomically(line_path, text));
}

bool holds_at(const options& parsed, std::string_view step) {
  return std::find(parsed.holds.begin(), parsed.holds.end(), step) != parsed.holds.end();
}

}  // namespace

int main(int argc, char** argv) {
  options parsed;
  if (!parse(argc, argv, parsed)) {
    std::cerr << "usage: window_build_probe DIRECTORY [--no-window] [--force-1250] "
                 "[--hold STEP]... [--release FILE]\n";
    return 64;
  }
  std::filesystem::create_directories(parsed.directory);
  const compiler::build_settings settings = compiler::embedded_settings(parsed.directory);

#ifdef _WIN32
  main_thread = GetCurrentThreadId();
  error_box_watch box_watch;
#endif
  auto notice = builder::make_waiting_notice(parsed.window_allowed, std::cout, std::cerr);
  const bool window = dynamic_cast<builder::terminal_notice*>(notice.get()) == nullptr;
  std::cout << "notice: " << (window ? "window" : "terminal") << std::endl;

  bool forcing_failed = false;
  const auto hook = [&](std::string_view step) {
    if (parsed.force_1250 && step == "compile_scenario") {
      const auto line_path =
          parsed.directory / scenario::line_text_file_name(settings.route_base_name);
      forcing_failed = !force_fixed_values_taken(line_path);
#ifdef SCENARIO_HAS_WINDOW
      if (window) Fl::add_timeout(0.0, report_modal_box);
#endif
#ifdef _WIN32
      if (window) box_watch.start();
#endif
    }
    if (!holds_at(parsed, step)) return;
#if defined(SCENARIO_HAS_WINDOW) || defined(_WIN32)
    if (window) describe_shown_windows();
#endif
    wait_for_release(parsed, step);
  };

  const builder::exit_status status = builder::run_build(settings, *notice, std::cerr, hook);
  if (forcing_failed) {
    std::cerr << "window_build_probe: could not move a speed-board row to position 0\n";
    return 70;
  }
#if defined(SCENARIO_HAS_WINDOW) || defined(_WIN32)
  if (window) std::cout << "windows shown: " << shown_windows() << std::endl;
#endif
  if (holds_at(parsed, "end")) wait_for_release(parsed, "end");
  std::cout << "exit status " << static_cast<int>(status) << std::endl;
  return static_cast<int>(status);
}
