// The first visible unowned top-level window of a process that is not a tool
// window, found with EnumWindows.
#include "reporter/pipeline/MainWindowWin.h"

namespace {

struct TSearch {
  DWORD ProcessId;
  HWND Found;
};

BOOL CALLBACK TakeMainWindow(HWND window, LPARAM data) {
  auto* search = reinterpret_cast<TSearch*>(data);
  DWORD owner = 0;
  GetWindowThreadProcessId(window, &owner);
  if (owner != search->ProcessId || !IsWindowVisible(window)) return TRUE;
  const HWND parent = GetWindow(window, GW_OWNER);
  if (parent && parent != GetDesktopWindow()) return TRUE;
  const LONG_PTR style = GetWindowLongPtrA(window, GWL_EXSTYLE);
  if ((style & WS_EX_TOOLWINDOW) && !(style & WS_EX_APPWINDOW)) return TRUE;
  search->Found = window;
  return FALSE;
}

}  // namespace

HWND MainWindowOfProcess(DWORD processId) {
  TSearch search{processId, nullptr};
  EnumWindows(&TakeMainWindow, reinterpret_cast<LPARAM>(&search));
  return search.Found;
}
