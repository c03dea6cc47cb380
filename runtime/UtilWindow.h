// A hidden top-level window whose messages go to a handler: the message sink
// of timers, the tray icon and the application object.
#pragma once

#include <windows.h>

#include <functional>

using TWndMethod = std::function<LRESULT(UINT Msg, WPARAM wParam, LPARAM lParam)>;

class TUtilWindow {
 public:
  // ClassName names the window class, so tests and tools can find the window.
  TUtilWindow(const wchar_t* ClassName, TWndMethod Handler);
  ~TUtilWindow();
  TUtilWindow(const TUtilWindow&) = delete;
  TUtilWindow& operator=(const TUtilWindow&) = delete;

  HWND Handle() const { return handle_; }

 private:
  static LRESULT CALLBACK WindowProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
  HWND handle_ = nullptr;
  TWndMethod handler_;
};

// Registers a window class once per process; returns false when it failed.
bool EnsureWindowClass(const wchar_t* ClassName, WNDPROC Proc, UINT Style = 0, HICON Icon = nullptr,
                       HBRUSH Background = nullptr);
