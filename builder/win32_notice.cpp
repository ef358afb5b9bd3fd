#include "builder/win32_notice.h"

#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <string>

namespace builder {

namespace {

constexpr const wchar_t* form1_class = L"Form1";

// The program does not declare itself aware of the screen's dpi, so on a
// denser screen the system scales the whole window, which keeps the
// proportions of the shared geometry.
constexpr int points_per_inch = 72;
constexpr int label1_id = 1;
// The system's own sans-serif face. Where it is missing, the font mapper
// takes the family and pitch as the request and still gives a sans face.
constexpr const wchar_t* label_font_face = L"Microsoft Sans Serif";

// A caption and a system menu, so that the window can be moved, but no
// sizing border, no maximize box and no menu bar.
constexpr DWORD form1_style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;

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
LRESULT CALLBACK form1_procedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_CLOSE) return 0;
  return DefWindowProcW(window, message, wparam, lparam);
}

bool register_form1_class(HINSTANCE instance) {
  WNDCLASSEXW form1{};
  form1.cbSize = sizeof form1;
  form1.lpfnWndProc = form1_procedure;
  form1.hInstance = instance;
  form1.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));  // IDC_ARROW
  form1.hbrBackground = GetSysColorBrush(COLOR_BTNFACE);
  form1.lpszClassName = form1_class;
  return RegisterClassExW(&form1) != 0 || GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
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
  if (!register_form1_class(instance)) return nullptr;

  // The outer size that gives the window its client area.
  RECT frame{0, 0, client_width_px, client_height_px};
  AdjustWindowRectEx(&frame, form1_style, FALSE, 0);
  const int width = frame.right - frame.left;
  const int height = frame.bottom - frame.top;
  const int x = (GetSystemMetrics(SM_CXSCREEN) - width) / 2;
  const int y = (GetSystemMetrics(SM_CYSCREEN) - height) / 2;
  const std::wstring title = widen(window_title);
  HWND form1 = CreateWindowExW(0, form1_class, title.c_str(), form1_style, x, y, width, height,
                               nullptr, nullptr, instance, nullptr);
  if (form1 == nullptr) return nullptr;

  const std::wstring text = widen(waiting_text);
  HWND label1 =
      CreateWindowExW(0, L"STATIC", text.c_str(), WS_CHILD | WS_VISIBLE | SS_LEFT, label_x_px,
                      label_y_px, label_width_px, label_height_px, form1,
                      reinterpret_cast<HMENU>(static_cast<INT_PTR>(label1_id)), instance, nullptr);
  HFONT font = create_label_font();
  if (label1 == nullptr || font == nullptr) {
    DestroyWindow(form1);
    if (font != nullptr) DeleteObject(font);
    return nullptr;
  }
  SendMessageW(label1, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
  return std::make_unique<win32_notice>(form1, font);
}

win32_notice::win32_notice(HWND__* form1, HFONT__* label_font)
    : form1_(form1), label_font_(label_font) {}

win32_notice::~win32_notice() {
  close();
  // The label holds the font until the window is destroyed.
  DeleteObject(label_font_);
}

void win32_notice::show() {
  ShowWindow(form1_, SW_SHOWNORMAL);
  // No window message is handled while the build runs, so the window and
  // its label must be painted now: what is drawn here stays up for the whole
  // build.
  RedrawWindow(form1_, nullptr, nullptr,
               RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN | RDW_UPDATENOW);
  handle_pending_messages();
  GdiFlush();
}

void win32_notice::close() {
  if (form1_ == nullptr) return;
  DestroyWindow(form1_);
  form1_ = nullptr;
  handle_pending_messages();
}

void win32_notice::show_error(std::string_view text) {
  const std::wstring message = widen(text);
  const std::wstring title = widen(std::string(window_title) + ": errore");
  // Owned by the waiting window, the box is modal to it.
  MessageBoxW(form1_, message.c_str(), title.c_str(), MB_OK);
}

}  // namespace builder
