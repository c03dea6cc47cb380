// An exception escaping an event handler reaches the class library's central
// handler: reported once in the reporter's exception dialog (the runner
// answers it), and the library's own message box is not shown (it would hold
// the program until the runner's time-out).
// expect: gui
// expect: dismiss=Error.
// expect: exit=0
// expect: reports=1
// expect: type=EConvertError
// expect: message=Unknown monitor 7.
// expect: stack=GuiEventHandlerThrow.cpp||SelectMonitor|@raise
#include <windows.h>

#include <string>

#include "runtime/Exceptions.h"
#include "runtime/ExtCtrls.h"
#include "runtime/Forms.h"
#include "tests/crashers/GuiReportFile.h"

__attribute__((noinline)) void SelectMonitor(int index) {
  throw EConvertError("Unknown monitor " + std::to_string(index));  // mark: raise
}

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  WriteReportsBesideExecutable();
  TApplication application;
  application.Initialize();
  auto* timer = new TTimer(&application);
  int ticks = 0;
  timer->SetInterval(50);
  timer->OnTimer = [&](TObject*) {
    if (++ticks == 1) {
      SelectMonitor(7);
    } else {
      application.Terminate();
    }
  };
  application.Run();
  return 0;
}
