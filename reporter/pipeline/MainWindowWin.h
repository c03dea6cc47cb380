// The main window of a process: what the clipboard copy opens the clipboard
// for, and what the system mail client is given as its parent.
#pragma once

#include <windows.h>

// The first top-level window, in the system's order, that belongs to the
// process, is visible, has no owner but the desktop, and is no tool window
// unless it also has the application-window style. Null when there is none.
HWND MainWindowOfProcess(DWORD processId);
