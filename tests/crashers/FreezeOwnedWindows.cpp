// The player's arrangement of windows: a hidden window owns every visible
// one, so none passes the application-window test. The watcher probes the
// visible owned window of the main thread instead, and the freeze is
// reported.
// expect: gui
// expect: exit=0
// expect: reports=1
// expect: type=EFrozenApplication
// expect: stack=*|*|*|*
// expect: stack=FreezeOwnedWindows.cpp||BlockMainThread|@block
#include <windows.h>

#include "tests/crashers/FreezeProgram.h"
#include "tests/crashers/GuiReportFile.h"

__attribute__((noinline)) void BlockMainThread(DWORD ms) {
  Sleep(ms);  // mark: block
}

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
  WriteReportsBesideExecutable();
  WNDCLASSW windowClass{};
  windowClass.lpfnWndProc = DefWindowProcW;
  windowClass.hInstance = instance;
  windowClass.lpszClassName = L"FreezeOwnedWindows";
  RegisterClassW(&windowClass);
  // Never shown, like the class library's application window once hidden.
  HWND owner = CreateWindowExW(0, L"FreezeOwnedWindows", L"owner", WS_POPUP, 0, 0, 0, 0, nullptr,
                               nullptr, instance, nullptr);
  HWND form = CreateWindowExW(WS_EX_TOPMOST, L"FreezeOwnedWindows", L"form", WS_POPUP | WS_VISIBLE,
                              0, 0, 120, 80, owner, nullptr, instance, nullptr);
  if (!PumpUntilProbed()) return 2;
  BlockMainThread(1900);
  PumpMessagesFor(2000);
  DestroyWindow(form);
  DestroyWindow(owner);
  return 0;
}
