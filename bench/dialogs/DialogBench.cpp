// Prints the time from a raise to the exception dialog on the screen: for
// the first report of the process (the modules and the reporter's data are
// read then) and for later ones. Goal: at most 300 ms for a later report.
// A watcher thread waits for the dialog window to be visible and painted, then
// answers it. Run by hand under Wine:
//   tests/harness/wine-run build/windows/bench/dialog_bench.exe
#include <windows.h>

#include <algorithm>
#include <atomic>
#include <string>
#include <cstdio>
#include <thread>
#include <vector>

#include "reporter/capture/GoNotify.h"
#include "reporter/config/ModuleOptionsEx.h"
#include "reporter/interception/CaptureStateWin.h"
#include "reporter/pipeline/ReporterStateWin.h"
#include "runtime/Exceptions.h"

namespace {

double Milliseconds() {
  LARGE_INTEGER now, frequency;
  QueryPerformanceCounter(&now);
  QueryPerformanceFrequency(&frequency);
  return 1000.0 * static_cast<double>(now.QuadPart) / static_cast<double>(frequency.QuadPart);
}

HWND VisibleDialog() {
  HWND found = nullptr;
  EnumWindows(
      [](HWND window, LPARAM data) -> BOOL {
        DWORD process = 0;
        GetWindowThreadProcessId(window, &process);
        char caption[16] = {};
        GetWindowTextA(window, caption, sizeof caption);
        if (process == GetCurrentProcessId() && IsWindowVisible(window) &&
            std::string(caption) == "Error.") {
          *reinterpret_cast<HWND*>(data) = window;
          return FALSE;
        }
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&found));
  return found;
}

double raisedAt = 0;

__attribute__((noinline)) void OpenClip(int round) {
  raisedAt = Milliseconds();
  throw EConvertError("Cannot open the clip (round " + std::to_string(round) + ").");
}

// One report: the raise's time to the dialog on screen.
double OneReport(int round) {
  std::atomic<double> shownAt{0};
  std::thread watcher([&] {
    for (;;) {
      if (HWND dialog = VisibleDialog()) {
        // Painted: what is visible has been drawn once.
        RedrawWindow(dialog, nullptr, nullptr, RDW_UPDATENOW);
        shownAt = Milliseconds();
        PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(2, BN_CLICKED), 0);
        return;
      }
      Sleep(1);
    }
  });
  try {
    OpenClip(round);
  } catch (...) {
    ExceptionManager();
  }
  watcher.join();
  return shownAt - raisedAt;
}

}  // namespace

int main() {
  if (!ReporterFlags().Active) {
    std::printf("the benchmark carries no reporter data\n");
    return 1;
  }
  TVexlorModuleOptionsEx& options = CurrentVexlorLogOptions();
  options.SetSaveLogFile(false);
  options.SetShowExceptionDialog(true);
  const double first = OneReport(0);
  std::vector<double> later;
  for (int round = 1; round <= 15; ++round) later.push_back(OneReport(round));
  std::sort(later.begin(), later.end());
  std::printf("raise to dialog visible, first report of the process: %.0f ms\n", first);
  std::printf(
      "raise to dialog visible, later reports: median %.0f ms, worst %.0f ms (goal 300 ms)\n",
      later[later.size() / 2], later.back());
  return 0;
}
