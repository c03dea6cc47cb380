// Windowed controls: the base every form and control stands on. A control's
// object pointer sits in its window's user data, so notifications that the
// parent receives (WM_COMMAND) are handed back to the control that sent them.
#pragma once

#include <windows.h>

#include <string>

#include "runtime/Classes.h"

class TWinControl : public TComponent {
 public:
  explicit TWinControl(TComponent* AOwner) : TComponent(AOwner) {}
  ~TWinControl() override;

  HWND Handle() const { return handle_; }
  static TWinControl* FromHandle(HWND Wnd);

  TWinControl* Parent() const { return parent_; }
  // Null detaches the control: its window is parked, hidden, on a hidden
  // top-level window and keeps its state.
  virtual void SetParent(TWinControl* AParent);

  void SetBounds(int ALeft, int ATop, int AWidth, int AHeight);
  int Left() const;
  int Top() const;
  void SetTop(int ATop);
  int Width() const;
  int Height() const;
  int ClientWidth() const;
  int ClientHeight() const;

  bool Visible() const;
  virtual void SetVisible(bool Value);
  bool Enabled() const;
  void SetEnabled(bool Value);
  std::wstring Text() const;
  void SetText(const std::wstring& Value);

  // A WM_COMMAND notification sent by this control to its parent.
  virtual void CommandNotify(WORD /*Code*/) {}

 protected:
  // Creates the window; Parent may be null for top-level windows (Owner is
  // then the owner window).
  void CreateHandle(const wchar_t* ClassName, const std::wstring& Caption, DWORD Style,
                    DWORD ExStyle, int X, int Y, int W, int H, TWinControl* AParent,
                    HWND OwnerWindow = nullptr);
  // For windows of our own classes: the message handler. The default answers
  // the container messages (command reflection, static colours).
  virtual LRESULT WndProc(UINT Msg, WPARAM wParam, LPARAM lParam);
  LRESULT DefaultHandler(UINT Msg, WPARAM wParam, LPARAM lParam);
  // The window procedure of every window of our own classes.
  static LRESULT CALLBACK ContainerProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);

 private:
  HWND handle_ = nullptr;
  TWinControl* parent_ = nullptr;
};

// The message font of the system, shared by every control.
HFONT DefaultGuiFont();
