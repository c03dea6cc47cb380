// Forms, the screen's monitors and the application object on Win32: the hidden
// taskbar window, the message loop with its filters, and HandleException.
#include "runtime/Forms.h"

#include "runtime/AppEvts.h"
#include "runtime/Exceptions.h"
#include "runtime/OsExceptionsWin.h"
#include "runtime/UtilWindow.h"

TApplication* Application = nullptr;

namespace {

// Frees a form after the message that asked for it has been handled.
constexpr UINT CM_RELEASE = WM_APP + 0x3E0;

BOOL CALLBACK CollectMonitor(HMONITOR monitor, HDC, LPRECT, LPARAM data) {
  MONITORINFO info{};
  info.cbSize = sizeof info;
  if (GetMonitorInfoW(monitor, &info)) {
    reinterpret_cast<std::vector<TMonitor>*>(data)->push_back(
        {info.rcMonitor, info.rcWork, (info.dwFlags & MONITORINFOF_PRIMARY) != 0});
  }
  return TRUE;
}

}  // namespace

std::wstring AnsiToWide(const std::string& Text) {
  if (Text.empty()) return {};
  int n = MultiByteToWideChar(CP_ACP, 0, Text.data(), static_cast<int>(Text.size()), nullptr, 0);
  std::wstring wide(static_cast<size_t>(n), L'\0');
  MultiByteToWideChar(CP_ACP, 0, Text.data(), static_cast<int>(Text.size()), wide.data(), n);
  return wide;
}

std::string WideToAnsi(const std::wstring& Text) {
  if (Text.empty()) return {};
  int n = WideCharToMultiByte(CP_ACP, 0, Text.data(), static_cast<int>(Text.size()), nullptr, 0,
                              nullptr, nullptr);
  std::string narrow(static_cast<size_t>(n), '\0');
  WideCharToMultiByte(CP_ACP, 0, Text.data(), static_cast<int>(Text.size()), narrow.data(), n,
                      nullptr, nullptr);
  return narrow;
}

int TScreen::MonitorCount() {
  return static_cast<int>(Monitors().size());
}

std::vector<TMonitor> TScreen::Monitors() {
  std::vector<TMonitor> monitors;
  EnumDisplayMonitors(nullptr, nullptr, CollectMonitor, reinterpret_cast<LPARAM>(&monitors));
  return monitors;
}

// ---------------------------------------------------------------------------

TForm::TForm(TComponent* AOwner, const TFormParams& Params) : TWinControl(AOwner) {
  EnsureWindowClass(Params.ClassName, &TWinControl::ContainerProc, CS_DBLCLKS,
                    Application ? Application->Icon() : nullptr, GetSysColorBrush(COLOR_BTNFACE));
  RECT r{0, 0, Params.ClientWidth, Params.ClientHeight};
  AdjustWindowRectEx(&r, Params.Style, FALSE, Params.ExStyle);
  int w = r.right - r.left, h = r.bottom - r.top;
  // Forms open centred on the primary monitor.
  RECT work{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
  SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
  int x = work.left + (work.right - work.left - w) / 2;
  int y = work.top + (work.bottom - work.top - h) / 2;
  CreateHandle(Params.ClassName, Params.Caption, Params.Style & ~WS_VISIBLE, Params.ExStyle, x, y,
               w, h, nullptr, Application ? Application->Handle() : nullptr);
}

void TForm::AfterConstruction() {
  FormCreate(this);
}

void TForm::Free(TForm* Form) {
  if (!Form || Form->destroying_) return;
  Form->destroying_ = true;
  try {
    TOsExceptionScope faults;
    Form->FormDestroy(Form);
  } catch (...) {
    if (Application) Application->HandleException(Form);
  }
  delete Form;
}

void TForm::Show() {
  SetVisible(true);
}
void TForm::Hide() {
  SetVisible(false);
}

void TForm::SetVisible(bool Value) {
  if (Value == Visible()) {
    if (Value) SetForegroundWindow(Handle());
    return;
  }
  if (Value) {
    FormShow(this);
    ShowWindow(Handle(), SW_SHOW);
    SetForegroundWindow(Handle());
  } else {
    ShowWindow(Handle(), SW_HIDE);
  }
}

void TForm::Close() {
  bool canClose = true;
  FormCloseQuery(this, canClose);
  if (!canClose) return;
  TCloseAction action = TCloseAction::caHide;
  FormClose(this, action);
  if (action == TCloseAction::caNone) return;
  if (Application && Application->MainForm() == this) {
    Application->Terminate();
  } else if (action == TCloseAction::caHide) {
    Hide();
  } else if (action == TCloseAction::caMinimize) {
    ShowWindow(Handle(), SW_MINIMIZE);
  } else {
    Release();
  }
}

void TForm::Release() {
  PostMessageW(Handle(), CM_RELEASE, 0, 0);
}

LRESULT TForm::WndProc(UINT Msg, WPARAM wParam, LPARAM lParam) {
  switch (Msg) {
    case WM_CLOSE:
      Close();
      return 0;
    case WM_ACTIVATE:
      if (LOWORD(wParam) != WA_INACTIVE) FormActivate(this);
      break;
    case WM_SIZE:
      FormResize(this);
      break;
    case CM_RELEASE:
      Free(this);
      return 0;
    case WM_QUERYENDSESSION: {
      bool canClose = true;
      FormCloseQuery(this, canClose);
      return canClose;
    }
    default:
      break;
  }
  return TWinControl::WndProc(Msg, wParam, lParam);
}

// ---------------------------------------------------------------------------

TApplication::TApplication() : TComponent(nullptr) {
  Application = this;
}

TApplication::~TApplication() {
  // Forms go first, last created first, each running its FormDestroy.
  while (ComponentCount() > 0) {
    TComponent* last = Components(ComponentCount() - 1);
    if (auto* form = dynamic_cast<TForm*>(last))
      TForm::Free(form);
    else
      delete last;
  }
  if (handle_) DestroyWindow(handle_);
  if (Application == this) Application = nullptr;
}

void TApplication::Initialize() {
  if (handle_) return;
  icon_ = LoadIconW(GetModuleHandleW(nullptr), L"MAINICON");
  if (!icon_) icon_ = LoadIconW(nullptr, IDI_APPLICATION);
  EnsureWindowClass(L"TApplication", &TApplication::AppWindowProc, 0, icon_);
  int x = GetSystemMetrics(SM_CXSCREEN) / 2, y = GetSystemMetrics(SM_CYSCREEN) / 2;
  // The zero-sized visible window that carries the program's taskbar button;
  // every form is owned by it, so forms get no buttons of their own.
  handle_ = CreateWindowExW(0, L"TApplication", title_.c_str(),
                            WS_POPUP | WS_CAPTION | WS_CLIPSIBLINGS | WS_SYSMENU | WS_MINIMIZEBOX,
                            x, y, 0, 0, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
  SetWindowLongPtrW(handle_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
  ShowWindow(handle_, SW_SHOWNOACTIVATE);
}

void TApplication::SetTitle(const std::wstring& Value) {
  title_ = Value;
  if (handle_) SetWindowTextW(handle_, title_.c_str());
}

void TApplication::Run() {
  if (ShowMainForm && mainForm_) mainForm_->Show();
  MSG msg;
  while (!terminated_) {
    if (!ProcessMessage(msg) && !terminated_) WaitMessage();
  }
}

void TApplication::Terminate() {
  if (!terminated_) PostQuitMessage(0);
}

void TApplication::ProcessMessages() {
  MSG msg;
  while (ProcessMessage(msg)) {
  }
}

bool TApplication::ProcessMessage(MSG& Msg) {
  if (!PeekMessageW(&Msg, nullptr, 0, 0, PM_REMOVE)) return false;
  if (Msg.message == WM_QUIT) {
    terminated_ = true;
    return true;
  }
  bool handled = false;
  try {
    TOsExceptionScope faults;
    auto filters = filters_;
    for (TApplicationEvents* events : filters) {
      if (events->OnMessage) events->OnMessage(Msg, handled);
      if (handled) break;
    }
  } catch (...) {
    HandleException(this);
  }
  if (handled) return true;
  HWND root = Msg.hwnd ? GetAncestor(Msg.hwnd, GA_ROOT) : nullptr;
  // Tab and arrow keys move between controls on forms that hold them.
  if (root && (GetWindowLongW(root, GWL_EXSTYLE) & WS_EX_CONTROLPARENT) &&
      IsDialogMessageW(root, &Msg))
    return true;
  TranslateMessage(&Msg);
  DispatchMessageW(&Msg);
  return true;
}

void TApplication::HandleException(TObject* Sender) {
  std::exception_ptr current = std::current_exception();
  if (!current) return;
  std::wstring text;
  try {
    std::rethrow_exception(current);
  } catch (const EAbort&) {
    return;
  } catch (const std::exception& e) {
    if (OnException) {
      OnException(Sender, e);
      return;
    }
    text = AnsiToWide(e.what());
  } catch (...) {
    text = L"Unknown exception";
  }
  ::MessageBoxW(nullptr, text.c_str(), title_.c_str(), MB_OK | MB_ICONSTOP | MB_TASKMODAL);
}

int TApplication::MessageBox(const std::wstring& Text, const std::wstring& Caption, UINT Flags) {
  HWND owner = GetActiveWindow();
  return ::MessageBoxW(owner, Text.c_str(), Caption.c_str(), Flags);
}

void TApplication::AddMessageFilter(TApplicationEvents* Events) {
  filters_.push_back(Events);
}

void TApplication::RemoveMessageFilter(TApplicationEvents* Events) {
  std::erase(filters_, Events);
}

LRESULT TApplication::WndProc(UINT Msg, WPARAM wParam, LPARAM lParam) {
  switch (Msg) {
    case WM_CLOSE:
      if (mainForm_) mainForm_->Close();
      return 0;
    case WM_QUERYENDSESSION:
      return 1;
    default:
      return DefWindowProcW(handle_, Msg, wParam, lParam);
  }
}

LRESULT CALLBACK TApplication::AppWindowProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  auto* self = reinterpret_cast<TApplication*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  if (!self || self->handle_ != hwnd) return DefWindowProcW(hwnd, msg, wp, lp);
  try {
    TOsExceptionScope faults;
    return self->WndProc(msg, wp, lp);
  } catch (...) {
    self->HandleException(self);
    return 0;
  }
}
