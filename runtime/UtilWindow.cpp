// The utility window's class registered once, and its window procedure that
// hands each message to the handler and lets no exception out.
#include "runtime/UtilWindow.h"

#include "runtime/Forms.h"
#include "runtime/OsExceptionsWin.h"

bool EnsureWindowClass(const wchar_t* ClassName, WNDPROC Proc, UINT Style, HICON Icon,
                       HBRUSH Background) {
  WNDCLASSEXW existing{};
  existing.cbSize = sizeof existing;
  if (GetClassInfoExW(GetModuleHandleW(nullptr), ClassName, &existing)) return true;
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof wc;
  wc.style = Style;
  wc.lpfnWndProc = Proc;
  wc.hInstance = GetModuleHandleW(nullptr);
  wc.hIcon = Icon;
  wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  wc.hbrBackground = Background;
  wc.lpszClassName = ClassName;
  return RegisterClassExW(&wc) != 0 || GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
}

TUtilWindow::TUtilWindow(const wchar_t* ClassName, TWndMethod Handler)
    : handler_(std::move(Handler)) {
  EnsureWindowClass(ClassName, &TUtilWindow::WindowProc);
  handle_ = CreateWindowExW(WS_EX_TOOLWINDOW, ClassName, L"", WS_POPUP, 0, 0, 0, 0, nullptr,
                            nullptr, GetModuleHandleW(nullptr), nullptr);
  if (handle_) SetWindowLongPtrW(handle_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
}

TUtilWindow::~TUtilWindow() {
  if (handle_) {
    SetWindowLongPtrW(handle_, GWLP_USERDATA, 0);
    DestroyWindow(handle_);
  }
}

LRESULT CALLBACK TUtilWindow::WindowProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  auto* self = reinterpret_cast<TUtilWindow*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  if (!self || !self->handler_) return DefWindowProcW(hwnd, msg, wp, lp);
  try {
    TOsExceptionScope faults;
    return self->handler_(msg, wp, lp);
  } catch (...) {
    // Never let an exception cross the system's frames.
    if (Application) Application->HandleException(nullptr);
    return 0;
  }
}
