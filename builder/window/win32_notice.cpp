#include "builder/window/win32_notice.h"

#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <string>

namespace builder {

namespace {

constexpr const wchar_t* waiting_window_class = L"Form1";

// The program does not declare itself aware of the screen's dpi, so on a
// denser screen the system scales the whole window, which keeps the
// proportions of the shared geometry.
constexpr int points_per_inch = 72;
constexpr int message_label_id = 1;
// The system's own sans-serif face. Where it is missing, the font mapper
// takes the family and pitch as the request and still gives a sans face.
constexpr const wchar_t* label_font_face = L"Microsoft Sans Serif";

// A caption and a system menu, so that the window can be moved, but no
// sizing border, no maximize box and no menu bar.
constexpr DWORD waiting_window_style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;

std::wstring widen(std::string_view text) {
  if (text.empty()) return {};
  const int size = static_cast<int>(text.size());
  const int length = MultiByteToWideChar(CP_UTF8, 0, text.data(), size, nullptr, 0);
  std::wstring wide(static_cast<std::size_t>(length), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, text.data(), size, wide.data(), length);
  return wide;
}

// The build cannot be stopped half way, so a request to close the window is
// ignored; the window goes when the build ends.
LRESULT CALLBACK waiting_window_procedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_CLOSE) return 0;
  return DefWindowProcW(window, message, wparam, lparam);
}

bool register_waiting_window_class(HINSTANCE instance) {
  WNDCLASSEXW waiting_window{};
  waiting_window.cbSize = sizeof waiting_window;
  waiting_window.lpfnWndProc = waiting_window_procedure;
  waiting_window.hInstance = instance;
  waiting_window.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));  // IDC_ARROW
  waiting_window.hbrBackground = GetSysColorBrush(COLOR_BTNFACE);
  waiting_window.lpszClassName = waiting_window_class;
  return RegisterClassExW(&waiting_window) != 0 || GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
}

HFONT create_label_font() {
  HDC screen = GetDC(nullptr);
  const int dots_per_inch = screen != nullptr ? GetDeviceCaps(screen, LOGPIXELSY) : 96;
  if (screen != nullptr) ReleaseDC(nullptr, screen);
  LOGFONTW font{};
  // A negative height asks for the character height, which is what a size
  // in points measures.
  font.lfHeight = -MulDiv(label_font_points, dots_per_inch, points_per_inch);
  font.lfWeight = FW_BOLD;
  font.lfCharSet = DEFAULT_CHARSET;
  font.lfQuality = DEFAULT_QUALITY;
  font.lfPitchAndFamily = VARIABLE_PITCH | FF_SWISS;
  lstrcpynW(font.lfFaceName, label_font_face, LF_FACESIZE);
  return CreateFontIndirectW(&font);
}

// Hands every waiting message to its window, so that what the system asked
// of the window (painting the frame, activation) is done before the build
// holds the thread.
void handle_pending_messages() {
  MSG message;
  while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
}

}  // namespace

std::unique_ptr<win32_notice> win32_notice::open() {
  HINSTANCE instance = GetModuleHandleW(nullptr);
  if (!register_waiting_window_class(instance)) return nullptr;

  // The outer size that gives the window its client area.
  RECT frame{0, 0, client_width_px, client_height_px};
  AdjustWindowRectEx(&frame, waiting_window_style, FALSE, 0);
  const int width = frame.right - frame.left;
  const int height = frame.bottom - frame.top;
  const int x = (GetSystemMetrics(SM_CXSCREEN) - width) / 2;
  const int y = (GetSystemMetrics(SM_CYSCREEN) - height) / 2;
  const std::wstring title = widen(window_title);
  HWND waiting_window = CreateWindowExW(0, waiting_window_class, title.c_str(), waiting_window_style, x, y, width, height,
                               nullptr, nullptr, instance, nullptr);
  if (waiting_window == nullptr) return nullptr;

  const std::wstring text = widen(waiting_text);
  HWND message_label =
      CreateWindowExW(0, L"STATIC", text.c_str(), WS_CHILD | WS_VISIBLE | SS_LEFT, label_x_px,
                      label_y_px, label_width_px, label_height_px, waiting_window,
                      reinterpret_cast<HMENU>(static_cast<INT_PTR>(message_label_id)), instance, nullptr);
  HFONT font = create_label_font();
  if (message_label == nullptr || font == nullptr) {
    DestroyWindow(waiting_window);
    if (font != nullptr) DeleteObject(font);
    return nullptr;
  }
  SendMessageW(message_label, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
  return std::make_unique<win32_notice>(waiting_window, font);
}

win32_notice::win32_notice(HWND__* waiting_window, HFONT__* label_font)
    : waiting_window_(waiting_window), label_font_(label_font) {}

win32_notice::~win32_notice() {
  close();
  // The label holds the font until the window is destroyed.
  DeleteObject(label_font_);
}

void win32_notice::show() {
  ShowWindow(waiting_window_, SW_SHOWNORMAL);
  // No window message is handled while the build runs, so the window and
  // its label must be painted now: what is drawn here stays up for the whole
  // build.
  RedrawWindow(waiting_window_, nullptr, nullptr,
               RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN | RDW_UPDATENOW);
  handle_pending_messages();
  GdiFlush();
}

void win32_notice::close() {
  if (waiting_window_ == nullptr) return;
  DestroyWindow(waiting_window_);
  waiting_window_ = nullptr;
  handle_pending_messages();
}

void win32_notice::show_error(std::string_view text) {
  const std::wstring message = widen(text);
  const std::wstring title = widen(std::string(window_title) + ": errore");
  // Owned by the waiting window, the box is modal to it.
  MessageBoxW(waiting_window_, message.c_str(), title.c_str(), MB_OK);
}

}  // namespace builder
