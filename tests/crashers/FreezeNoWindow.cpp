// A program whose main thread shows no application window (a hidden window
// and a tool window only) is never probed, however long it blocks.
// expect: gui
// expect: exit=0
// expect: reports=0
#include <windows.h>

#include "tests/crashers/FreezeProgram.h"
#include "tests/crashers/GuiReportFile.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
  WriteReportsBesideExecutable();
  WNDCLASSW windowClass{};
  windowClass.lpfnWndProc = DefWindowProcW;
  windowClass.hInstance = instance;
  windowClass.lpszClassName = L"FreezeNoWindow";
  RegisterClassW(&windowClass);
  HWND hidden = CreateWindowExW(0, L"FreezeNoWindow", L"hidden", WS_POPUP, 0, 0, 50, 50, nullptr,
                                nullptr, instance, nullptr);
  HWND tool = CreateWindowExW(WS_EX_TOOLWINDOW, L"FreezeNoWindow", L"tool", WS_POPUP | WS_VISIBLE,
                              0, 0, 50, 50, nullptr, nullptr, instance, nullptr);
  PumpMessagesFor(300);
  Sleep(2500);
  PumpMessagesFor(300);
  const bool probed = FreezeWatchProbeCount() != 0;
  const bool running = FreezeWatchRunning();
  DestroyWindow(tool);
  DestroyWindow(hidden);
  return running && !probed ? 0 : 5;
}
