// A main thread that blocks for less than the time-out: no freeze report.
// expect: gui
// expect: exit=0
// expect: reports=0
#include <windows.h>

#include "runtime/Forms.h"
#include "tests/crashers/FreezeProgram.h"
#include "tests/crashers/GuiReportFile.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  WriteReportsBesideExecutable();
  TApplication application;
  application.Initialize();
  if (!PumpUntilProbed()) return 2;
  Sleep(600);
  PumpMessagesFor(1500);
  return 0;
}
