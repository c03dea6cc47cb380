// Forms and the application object: the hidden application window that owns
// the taskbar button, the message loop, and the one place where exceptions
// that escape event handlers end up (TApplication::HandleException).
#pragma once

#include <windows.h>

#include <exception>
#include <functional>
#include <string>
#include <vector>

#include "runtime/Controls.h"

enum class TCloseAction { caNone, caHide, caFree, caMinimize };

struct TFormParams {
  const wchar_t* ClassName;  // the window class, named after the form class
  std::wstring Caption;
  DWORD Style;
  DWORD ExStyle;
  int ClientWidth;
  int ClientHeight;
};

class TForm : public TWinControl {
 public:
  TForm(TComponent* AOwner, const TFormParams& Params);

  void Show();
  void Hide();
  void SetVisible(bool Value) override;
  // Asks FormCloseQuery, then FormClose decides: hide, free, or nothing.
  // Closing the main form ends the application.
  void Close();
  // Frees the form once the current message is done.
  void Release();
  std::wstring Caption() const { return Text(); }
  void SetCaption(const std::wstring& Value) { SetText(Value); }

  virtual void FormCreate(TObject* /*Sender*/) {}
  virtual void FormShow(TObject* /*Sender*/) {}
  virtual void FormActivate(TObject* /*Sender*/) {}
  virtual void FormCloseQuery(TObject* /*Sender*/, bool& /*CanClose*/) {}
  virtual void FormClose(TObject* /*Sender*/, TCloseAction& /*Action*/) {}
  virtual void FormDestroy(TObject* /*Sender*/) {}
  virtual void FormResize(TObject* /*Sender*/) {}

  // Runs FormCreate; called once the whole form object is built.
  void AfterConstruction();
  // Runs FormDestroy and deletes the form.
  static void Free(TForm* Form);

 protected:
  LRESULT WndProc(UINT Msg, WPARAM wParam, LPARAM lParam) override;

 private:
  bool destroying_ = false;
};

class TApplicationEvents;

class TApplication : public TComponent {
 public:
  TApplication();
  ~TApplication() override;

  void Initialize();
  const std::wstring& Title() const { return title_; }
  void SetTitle(const std::wstring& Value);
  HWND Handle() const { return handle_; }
  HICON Icon() const { return icon_; }
  TForm* MainForm() const { return mainForm_; }
  bool ShowMainForm = true;

  template <class T>
  void CreateForm(T*& Reference) {
    Reference = new T(this);
    if (!mainForm_) mainForm_ = Reference;
    Reference->AfterConstruction();
  }

  // Runs the message loop until Terminate, then frees the forms, last
  // created first.
  void Run();
  void Terminate();
  bool Terminated() const { return terminated_; }
  void ProcessMessages();

  // The central handler for an exception that an event handler let escape.
  // Must be called inside a catch block. EAbort is silent; the default shows
  // the message in a message box; OnException replaces the default.
  void HandleException(TObject* Sender);
  std::function<void(TObject* Sender, const std::exception& E)> OnException;

  int MessageBox(const std::wstring& Text, const std::wstring& Caption, UINT Flags);

  void AddMessageFilter(TApplicationEvents* Events);
  void RemoveMessageFilter(TApplicationEvents* Events);

 private:
  bool ProcessMessage(MSG& Msg);
  LRESULT WndProc(UINT Msg, WPARAM wParam, LPARAM lParam);
  static LRESULT CALLBACK AppWindowProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);

  std::wstring title_;
  HWND handle_ = nullptr;
  HICON icon_ = nullptr;
  TForm* mainForm_ = nullptr;
  bool terminated_ = false;
  std::vector<TApplicationEvents*> filters_;
};

// The process's one application object (set while it exists).
extern TApplication* Application;

// Monitors in the system's own enumeration order.
struct TMonitor {
  RECT BoundsRect;
  RECT WorkareaRect;
  bool Primary;
};

class TScreen {
 public:
  static int MonitorCount();
  static std::vector<TMonitor> Monitors();
};

// 8-bit text in the system code page to UTF-16 and back.
std::wstring AnsiToWide(const std::string& Text);
std::string WideToAnsi(const std::wstring& Text);
