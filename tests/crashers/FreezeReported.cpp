// A main thread that leaves its window unanswered for 3.5 s, with a time-out
// of one second: one freeze report per second of the freeze, each with the
// main thread's stack down to the call that hangs.
// expect: gui
// expect: exit=0
// expect: reports=2+
// expect: type=EFrozenApplication
// expect: message=The application seems to be frozen.
// expect: stack=*|*|*|*
// expect: stack=FreezeReported.cpp||BlockMainThread|@block
#include <windows.h>

#include "runtime/Forms.h"
#include "tests/crashers/FreezeProgram.h"
#include "tests/crashers/GuiReportFile.h"

__attribute__((noinline)) void BlockMainThread(DWORD ms) {
  Sleep(ms);  // mark: block
}

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  WriteReportsBesideExecutable();
  TApplication application;
  application.Initialize();
  if (!PumpUntilProbed()) return 2;
  BlockMainThread(3500);
  // The report of the last period is finished before the program ends.
  PumpMessagesFor(2000);
  return 0;
}
