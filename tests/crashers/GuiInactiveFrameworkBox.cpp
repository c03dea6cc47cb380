// With the option Active off, an exception escaping an event handler is the
// class library's again: its own message box is shown and nothing is
// reported. The program answers the box itself and ends with 0 only when the
// box came up with the exception's message (it waits for it otherwise).
// expect: gui
// expect: exit=0
// expect: reports=0
#include <windows.h>

#include <atomic>
#include <string>
#include <thread>

#include "reporter/config/ModuleOptionsEx.h"
#include "reporter/pipeline/ReporterStateWin.h"
#include "runtime/Exceptions.h"
#include "runtime/ExtCtrls.h"
#include "runtime/Forms.h"
#include "tests/crashers/GuiReportFile.h"

namespace {

std::atomic<bool> boxSeen{false};
std::atomic<bool> stopWatching{false};

BOOL CALLBACK AnswerFrameworkBox(HWND window, LPARAM) {
  DWORD process = 0;
  GetWindowThreadProcessId(window, &process);
  char className[16] = {};
  GetClassNameA(window, className, sizeof(className));
  if (process != GetCurrentProcessId() || std::string(className) != "#32770") return TRUE;
  // Texts of the main thread's windows are asked for without waiting: once
  // the box is gone the main thread may be joining this one.
  wchar_t caption[64] = {};
  InternalGetWindowText(window, caption, 64);
  char text[128] = {};
  DWORD_PTR length = 0;
  SendMessageTimeoutA(GetDlgItem(window, 0xFFFF), WM_GETTEXT, sizeof(text),
                      reinterpret_cast<LPARAM>(text), SMTO_ABORTIFHUNG, 200, &length);
  // A box still being built is looked at again on the next round.
  if (std::wstring(caption) != L"Monitor test" ||
      !std::string(text).starts_with("Unknown monitor 9")) {
    return TRUE;
  }
  boxSeen = true;
  PostMessageA(window, WM_COMMAND, IDOK, 0);
  return FALSE;
}

}  // namespace

__attribute__((noinline)) void SelectMonitor(int index) {
  throw EConvertError("Unknown monitor " + std::to_string(index));
}

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  WriteReportsBesideExecutable();
  CurrentVexlorLogOptions().SetActive(false);
  std::thread watcher([] {
    while (!stopWatching) {
      EnumWindows(&AnswerFrameworkBox, 0);
      Sleep(20);
    }
  });
  TApplication application;
  application.Initialize();
  application.SetTitle(L"Monitor test");
  auto* timer = new TTimer(&application);
  int ticks = 0;
  timer->SetInterval(50);
  timer->OnTimer = [&](TObject*) {
    // The timer goes on ticking inside the box's own message loop: end only
    // once the box was answered (or after 30 s), or a slow watcher would
    // never see it.
    if (++ticks == 1) {
      SelectMonitor(9);
    } else if (boxSeen || ticks > 600) {
      application.Terminate();
    }
  };
  application.Run();
  stopWatching = true;
  watcher.join();
  return boxSeen ? 0 : 2;
}
