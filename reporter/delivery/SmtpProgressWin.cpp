#include "reporter/delivery/SmtpProgressWin.h"

#include <commctrl.h>

#include <atomic>
#include <cstring>
#include <vector>

#include "reporter/config/InternalErrors.h"
#include "reporter/config/Trace.h"
#include "reporter/delivery/DeliveryFlow.h"
#include "reporter/dialogs/DialogLook.h"
#include "runtime/Thread.h"

namespace {

constexpr int kStatusId = 100;
constexpr int kProgressId = 101;
constexpr DWORD kThreadEndWait = 5000;

// The progress state shared with the window's thread: written by the
// delivery before the window exists, then the window writes its handle and
// the focus flag.
struct TProgressState {
  std::atomic<HWND> Window{nullptr};
  std::atomic<bool> HasFocus{false};
  bool CustomStyle = true;
  std::string Caption = "SMTP.";
};
TProgressState progressState;

// The "SMTP" template: 186 x 34 dialog units, popup with caption, centred,
// system-modal, topmost tool window, 8 pt "MS SANS SERIF"; the status line
// 100 and the progress bar 101.
class TTemplate {
 public:
  TTemplate() {
    Align(4);
    DLGTEMPLATE header{};
    header.style = WS_POPUP | WS_CAPTION | DS_CENTER | DS_SYSMODAL | DS_SETFONT | DS_MODALFRAME;
    header.dwExtendedStyle = WS_EX_TOPMOST | WS_EX_TOOLWINDOW;
    header.cdit = 2;
    header.cx = 186;
    header.cy = 34;
    Put(header);
    Word(0);  // no menu
    Word(0);  // the standard class
    Text(L"SMTP.");
    Word(8);
    Text(L"MS SANS SERIF");
    Item(kStatusId, 0x0082, WS_CHILD | WS_VISIBLE | SS_LEFT | SS_NOPREFIX, 8, 8, 171, 8, nullptr);
    Item(kProgressId, 0, WS_CHILD | WS_VISIBLE, 8, 16, 170, 10, PROGRESS_CLASSW);
  }
  const DLGTEMPLATE* Get() const { return reinterpret_cast<const DLGTEMPLATE*>(bytes_.data()); }

 private:
  void Align(std::size_t to) {
    while (bytes_.size() % to) bytes_.push_back(0);
  }
  template <class T>
  void Put(const T& value) {
    const auto* p = reinterpret_cast<const unsigned char*>(&value);
    bytes_.insert(bytes_.end(), p, p + sizeof value);
  }
  void Word(WORD value) { Put(value); }
  void Text(const wchar_t* text) {
    for (; *text; ++text) Word(static_cast<WORD>(*text));
    Word(0);
  }
  void Item(WORD id, WORD atom, DWORD style, short x, short y, short cx, short cy,
            const wchar_t* className) {
    Align(4);
    DLGITEMTEMPLATE item{};
    item.style = style;
    item.x = x;
    item.y = y;
    item.cx = cx;
    item.cy = cy;
    item.id = id;
    Put(item);
    if (className) {
      Text(className);
    } else {
      Word(0xFFFF);
      Word(atom);
    }
    Word(0);  // no text
    Word(0);  // no creation data
  }
  std::vector<unsigned char> bytes_;
};

INT_PTR CALLBACK ProgressProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  auto* look = reinterpret_cast<TDialogLook*>(GetWindowLongPtrA(window, DWLP_USER));
  // The delivery waits for this before it goes on.
  if ((message == WM_ACTIVATE && LOWORD(wParam) != WA_INACTIVE) || message == WM_SETFOCUS)
    progressState.HasFocus = true;
  if (look) {
    INT_PTR result = 0;
    if (look->Handle(message, wParam, lParam, result)) return result;
  }
  switch (message) {
    case WM_INITDIALOG: {
      look = new TDialogLook(window, progressState.CustomStyle, true);
      SetWindowLongPtrA(window, DWLP_USER, reinterpret_cast<LONG_PTR>(look));
      look->SetCaption(progressState.Caption);
      SendDlgItemMessageA(window, kStatusId, WM_SETFONT,
                          reinterpret_cast<WPARAM>(look->Fonts().Message()), FALSE);
      SendDlgItemMessageA(window, kProgressId, PBM_SETRANGE, 0, MAKELPARAM(0, 100));
      progressState.Window = window;
      SetForegroundWindow(window);
      SetFocus(window);
      return FALSE;  // the focus is set
    }
    case kSmtpCloseMessage:
      EndDialog(window, 0);
      return TRUE;
    case WM_DESTROY:
      progressState.Window = nullptr;
      SetWindowLongPtrA(window, DWLP_USER, 0);
      delete look;
      return FALSE;
    default:
      return FALSE;
  }
}

class TSMTPThread : public TThread {
 public:
  TSMTPThread() : TThread(true) { FreeOnTerminate = true; }

 protected:
  void Execute() override {
    static const TTemplate dialog;
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_PROGRESS_CLASS};
    InitCommonControlsEx(&controls);
    DialogBoxIndirectParamA(GetModuleHandleA(nullptr), dialog.Get(), nullptr, &ProgressProc, 0);
  }
};

}  // namespace

void TSmtpProgressWindow::Open(bool customStyle, const TSendTexts& texts) {
  TraceEnter("TSmtpProgressWindow.Open");
  Close();
  progressState.Window = nullptr;
  progressState.HasFocus = false;
  progressState.CustomStyle = customStyle;
  progressState.Caption = texts.Caption;
  message_ = texts.Message;
  current_ = 0;
  count_ = 0;
  auto* thread = new TSMTPThread;
  DuplicateHandle(GetCurrentProcess(), thread->Handle(), GetCurrentProcess(), &thread_, SYNCHRONIZE,
                  FALSE, 0);
  thread->Start();
  // A window that never takes the focus (another program holds the
  // foreground) must not hold up the delivery.
  const DWORD start = GetTickCount();
  while (!progressState.HasFocus && GetTickCount() - start < kSmtpWindowFocusWait &&
         WaitForSingleObject(thread_, 50) == WAIT_TIMEOUT) {
  }
  SetSMTPProgressWindowOpen(IsOpen());
  TraceExit("TSmtpProgressWindow.Open", {IsOpen(), progressState.HasFocus.load()});
}

bool TSmtpProgressWindow::IsOpen() const {
  return progressState.Window.load() != nullptr;
}

HWND TSmtpProgressWindow::Handle() const {
  return progressState.Window.load();
}

void TSmtpProgressWindow::StartRecipient(int current, int count) {
  current_ = current;
  count_ = count;
  Progress(0);
}

void TSmtpProgressWindow::Status(const std::string& text) {
  const std::string line = RecipientStatusText(message_, current_, count_, text);
  Trace("SMTPStatus", {line});
  if (HWND window = Handle()) SetDlgItemTextA(window, kStatusId, line.c_str());
}

void TSmtpProgressWindow::Progress(int percent) {
  if (HWND window = Handle()) SendDlgItemMessageA(window, kProgressId, PBM_SETPOS, percent, 0);
}

void TSmtpProgressWindow::Close() {
  if (!thread_) return;
  SetSMTPProgressWindowOpen(false);
  // The window may still be coming up: close it once it is there.
  const DWORD start = GetTickCount();
  while (WaitForSingleObject(thread_, 0) == WAIT_TIMEOUT) {
    if (HWND window = Handle()) SendMessageA(window, kSmtpCloseMessage, 0, 0);
    if (GetTickCount() - start >= kThreadEndWait) {
      Trace("TSmtpProgressWindow.Close", {"the window's thread did not end"});
      break;
    }
    WaitForSingleObject(thread_, 20);
  }
  CloseHandle(thread_);
  thread_ = nullptr;
}
