// The progress window on its own thread, from the "SMTP" template: opening waits a
// little for its focus, closing for its thread, even while it is still coming up.
#include "reporter/delivery/SmtpProgressWin.h"

#include <commctrl.h>

#include <atomic>

#include "reporter/config/InternalErrors.h"
#include "reporter/config/Trace.h"
#include "reporter/delivery/DeliveryFlow.h"
#include "reporter/dialogs/DialogLook.h"
#include "reporter/dialogs/DialogPagesWin.h"
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
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_PROGRESS_CLASS};
    InitCommonControlsEx(&controls);
    // The dialogs' "SMTP" template: 186 x 34 units, a system-modal topmost
    // tool window with the status line 100 and the progress bar 101.
    if (DialogBoxParamA(DialogResourceModule(), "SMTP", nullptr, &ProgressProc, 0) == -1)
      Trace("TSMTPThread", {"the SMTP window cannot be shown", GetLastError()});
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
