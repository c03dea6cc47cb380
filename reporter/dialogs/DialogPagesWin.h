// The exception dialog's four tab pages: General and CPU (the report's text
// in a read-only edit), Call Stack and Modules (list views with row images),
// each a child dialog of the tab control.
#pragma once

#include <windows.h>

#include <string>

#include "reporter/dialogs/DialogLook.h"
#include "reporter/dialogs/ExceptionDialogWin.h"

struct TPageContext {
  const TExceptionDialogInput* Input = nullptr;
  const TDialogLook* Look = nullptr;
  HBRUSH White = nullptr;
  HBITMAP RowBitmaps[4] = {};  // DLL, BPL, VCL, PAS
};

enum TDialogPage : int { dpGeneral = 0, dpCallStack = 1, dpModules = 2, dpCPU = 3 };

// The page of a tab index (0 "TAB_MEMO" ... 3 "TAB_MEMO1"), fitted to the tab
// control; null when it cannot be made. Destroying it stores the list's
// column widths.
HWND CreateDialogPage(HWND tabs, int index, TPageContext& context);
// The page over the tab control's display area, its content inside.
void FitDialogPage(HWND tabs, HWND page);

// Writes the 2052-byte record to the add-in's mail slot; false when no
// add-in listens or the record did not go out whole.
bool SendRowToAddIn(const std::string& unit, int line);

// The module the templates and bitmaps are taken from: the one that carries
// the reporter.
HINSTANCE DialogResourceModule();
