// FreezeActivate switched off at run time stops the watcher: a freeze then
// goes unreported. Switched on again, a new watcher reports the next one.
// expect: gui
// expect: exit=0
// expect: reports=1
// expect: type=EFrozenApplication
// expect: stack=*|*|*|*
// expect: stack=FreezeSwitch.cpp||BlockWhileOn|@on
#include <windows.h>

#include "reporter/config/ModuleOptionsEx.h"
#include "reporter/pipeline/ReporterStateWin.h"
#include "runtime/Forms.h"
#include "tests/crashers/FreezeProgram.h"
#include "tests/crashers/GuiReportFile.h"

__attribute__((noinline)) void BlockWhileOff(DWORD ms) {
  Sleep(ms);  // mark: off
}

__attribute__((noinline)) void BlockWhileOn(DWORD ms) {
  Sleep(ms);  // mark: on
}

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  WriteReportsBesideExecutable();
  TApplication application;
  application.Initialize();
  if (!PumpUntilProbed()) return 2;
  TVexlorModuleOptionsEx& options = CurrentVexlorLogOptions();
  options.SetFreezeActivate(false);
  if (FreezeWatchRunning()) return 3;
  BlockWhileOff(1900);
  options.SetFreezeActivate(true);
  if (!FreezeWatchRunning() || !PumpUntilProbed()) return 4;
  BlockWhileOn(1900);
  PumpMessagesFor(2000);
  return 0;
}
