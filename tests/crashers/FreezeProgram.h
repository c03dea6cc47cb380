// What the freeze programs share: a message loop that runs for a while, and
// the wait until the watcher has found the window and probes it.
#pragma once

#include <windows.h>

#include "reporter/freeze/FreezeWatchWin.h"

inline void PumpMessagesFor(DWORD ms) {
  const ULONGLONG end = GetTickCount64() + ms;
  while (GetTickCount64() < end) {
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&message);
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
  }
}

// False when the watcher sent no probe within the bound.
inline bool PumpUntilProbed(DWORD boundMs = 10000) {
  const ULONGLONG end = GetTickCount64() + boundMs;
  while (FreezeWatchProbeCount() == 0) {
    if (GetTickCount64() >= end) return false;
    PumpMessagesFor(20);
  }
  return true;
}
