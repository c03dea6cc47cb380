// The windowed control's Win32 side: its window, bounds, text and messages; a
// detached control waits in a hidden parking window until it gets a parent.
#include "runtime/Controls.h"

#include "runtime/Forms.h"
#include "runtime/OsExceptionsWin.h"
#include "runtime/UtilWindow.h"

namespace {

// Holds detached controls so their windows (and any ActiveX state in them)
// survive while they have no parent.
HWND ParkingWindow() {
  static HWND parking = [] {
    EnsureWindowClass(L"TVexlorParking", DefWindowProcW);
    return CreateWindowExW(WS_EX_TOOLWINDOW, L"TVexlorParking", L"", WS_POPUP, 0, 0, 0, 0, nullptr,
                           nullptr, GetModuleHandleW(nullptr), nullptr);
  }();
  return parking;
}

RECT WindowRectInParent(HWND wnd) {
  RECT r{};
  GetWindowRect(wnd, &r);
  HWND parent = GetParent(wnd);
  if (parent && (GetWindowLongW(wnd, GWL_STYLE) & WS_CHILD))
    MapWindowPoints(HWND_DESKTOP, parent, reinterpret_cast<POINT*>(&r), 2);
  return r;
}

}  // namespace

HFONT DefaultGuiFont() {
  static HFONT font = [] {
    NONCLIENTMETRICSW metrics{};
    metrics.cbSize = sizeof metrics;
    if (SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0))
      return CreateFontIndirectW(&metrics.lfMessageFont);
    return static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
  }();
  return font;
}

TWinControl::~TWinControl() {
  if (handle_) {
    SetWindowLongPtrW(handle_, GWLP_USERDATA, 0);
    DestroyWindow(handle_);
  }
}

TWinControl* TWinControl::FromHandle(HWND Wnd) {
  return reinterpret_cast<TWinControl*>(GetWindowLongPtrW(Wnd, GWLP_USERDATA));
}

void TWinControl::CreateHandle(const wchar_t* ClassName, const std::wstring& Caption, DWORD Style,
                               DWORD ExStyle, int X, int Y, int W, int H, TWinControl* AParent,
                               HWND OwnerWindow) {
  parent_ = AParent;
  HWND parentWnd = AParent ? AParent->Handle() : OwnerWindow;
  handle_ = CreateWindowExW(ExStyle, ClassName, Caption.c_str(), Style, X, Y, W, H, parentWnd,
                            nullptr, GetModuleHandleW(nullptr), nullptr);
  if (!handle_) return;
  SetWindowLongPtrW(handle_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
  SendMessageW(handle_, WM_SETFONT, reinterpret_cast<WPARAM>(DefaultGuiFont()), FALSE);
}

void TWinControl::SetParent(TWinControl* AParent) {
  if (AParent == parent_ || !handle_) return;
  if (!AParent) ShowWindow(handle_, SW_HIDE);
  ::SetParent(handle_, AParent ? AParent->Handle() : ParkingWindow());
  parent_ = AParent;
  if (AParent) ShowWindow(handle_, SW_SHOWNA);
}

void TWinControl::SetBounds(int ALeft, int ATop, int AWidth, int AHeight) {
  SetWindowPos(handle_, nullptr, ALeft, ATop, AWidth, AHeight, SWP_NOZORDER | SWP_NOACTIVATE);
}

int TWinControl::Left() const {
  return WindowRectInParent(handle_).left;
}
int TWinControl::Top() const {
  return WindowRectInParent(handle_).top;
}
void TWinControl::SetTop(int ATop) {
  SetWindowPos(handle_, nullptr, Left(), ATop, 0, 0, SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOSIZE);
}
int TWinControl::Width() const {
  RECT r = WindowRectInParent(handle_);
  return r.right - r.left;
}
int TWinControl::Height() const {
  RECT r = WindowRectInParent(handle_);
  return r.bottom - r.top;
}
int TWinControl::ClientWidth() const {
  RECT r{};
  GetClientRect(handle_, &r);
  return r.right;
}
int TWinControl::ClientHeight() const {
  RECT r{};
  GetClientRect(handle_, &r);
  return r.bottom;
}

bool TWinControl::Visible() const {
  return handle_ && IsWindowVisible(handle_);
}
void TWinControl::SetVisible(bool Value) {
  ShowWindow(handle_, Value ? SW_SHOW : SW_HIDE);
}
bool TWinControl::Enabled() const {
  return handle_ && IsWindowEnabled(handle_);
}
void TWinControl::SetEnabled(bool Value) {
  EnableWindow(handle_, Value);
}

std::wstring TWinControl::Text() const {
  int length = GetWindowTextLengthW(handle_);
  std::wstring text(static_cast<size_t>(length) + 1, L'\0');
  int got = GetWindowTextW(handle_, text.data(), length + 1);
  text.resize(got > 0 ? got : 0);
  return text;
}

void TWinControl::SetText(const std::wstring& Value) {
  SetWindowTextW(handle_, Value.c_str());
}

LRESULT TWinControl::WndProc(UINT Msg, WPARAM wParam, LPARAM lParam) {
  return DefaultHandler(Msg, wParam, lParam);
}

LRESULT TWinControl::DefaultHandler(UINT Msg, WPARAM wParam, LPARAM lParam) {
  switch (Msg) {
    case WM_COMMAND:
      if (lParam) {
        if (TWinControl* control = FromHandle(reinterpret_cast<HWND>(lParam))) {
          control->CommandNotify(HIWORD(wParam));
          return 0;
        }
      }
      break;
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN:
      // Labels and check boxes take the face colour of their container.
      SetBkColor(reinterpret_cast<HDC>(wParam), GetSysColor(COLOR_BTNFACE));
      return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_BTNFACE));
    default:
      break;
  }
  return DefWindowProcW(handle_, Msg, wParam, lParam);
}

LRESULT CALLBACK TWinControl::ContainerProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  TWinControl* self = FromHandle(hwnd);
  if (!self || self->handle_ != hwnd) return DefWindowProcW(hwnd, msg, wp, lp);
  try {
    TOsExceptionScope faults;
    return self->WndProc(msg, wp, lp);
  } catch (...) {
    if (Application) Application->HandleException(self);
    return 0;
  }
}
