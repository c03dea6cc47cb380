// Program entry of the player. Nothing here reads the command line.
#include <windows.h>

#include <ole2.h>

#include "app/Main.h"
#include "app/Video.h"
#include "runtime/Forms.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  // Without a second monitor there is nothing to present on: end silently.
  if (TScreen::MonitorCount() < 2) return 0;

  OleInitialize(nullptr);
  int exitCode = 0;
  {
    TApplication application;
    try {
      application.Initialize();
      application.SetTitle(L"Kiravane VideoPlayer");
      application.CreateForm(frmVPMain);
      application.ShowMainForm = false;
      application.CreateForm(frmVideo);
      // No taskbar button: the program lives in the notification area.
      ShowWindow(application.Handle(), SW_HIDE);
      application.Run();
    } catch (...) {
      // A window or the player control that cannot be created at start.
      application.HandleException(&application);
      exitCode = 1;
    }
  }
  OleUninitialize();
  return exitCode;
}
