// The search for the window the freeze watcher probes, among the top-level
// windows of this process (rules in FreezeWindow.h).
#pragma once

#include <windows.h>

// Null while no window qualifies.
HWND FindFreezeWindow(DWORD mainThreadID);
