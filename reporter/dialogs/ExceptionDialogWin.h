// The exception dialog and the request for the steps to reproduce: modal
// Win32 dialogs from the reporter's templates, run by the thread that
// handles the exception.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "reporter/dialogs/DialogRows.h"

class TVexlorModuleOptions;

// One row of a list page; Unit and Line are what an activated Call Stack row
// sends to the IDE add-in.
struct TDialogRow {
  TRowImage Image = riDLL;
  TRowCells Cells;
  std::string Unit;
  int Line = 0;
};

// Everything the exception dialog shows, gathered before it opens so that
// the dialog reads no list another thread may change meanwhile.
struct TExceptionDialogInput {
  const TVexlorModuleOptions* Options = nullptr;  // texts and switches
  std::string Message;                            // the collapsed dialog's text
  std::string GeneralText;
  std::string CPUText;
  std::vector<TDialogRow> StackRows;
  std::vector<TDialogRow> ModuleRows;
  // E-mail is on and the log does not hold this error already.
  bool SendAvailable = false;
  int ErrorsSoFar = 0;  // reports made in this process, this one included
};

// The user's choices: Send and Screenshot start as the pipeline's flags.
struct TExceptionDialogChoice {
  bool Send = false;
  bool Screenshot = false;
  bool Copy = false;
  bool Terminate = false;
};

// How long a dialog may take to paint before it counts as one that cannot
// be shown (a slow machine or Wine paints well after the first timer tick).
constexpr unsigned kNotPaintedWaitMs = 5000;

// The dialog loop: beep, show until the user decides, fall back to a
// service-notification box when it never painted; a Terminate/Restart choice
// is confirmed by `confirmTerminate` (the action-6 handlers), and shown again
// when they cancel it. True when the report reached the user (dialog or
// fallback box).
bool ShowDialog(const TExceptionDialogInput& input, TExceptionDialogChoice& choice,
                const std::function<bool()>& confirmTerminate);

// The request dialog; the trimmed text the user typed, empty for none.
std::string ShowRequestDialog(const TVexlorModuleOptions& options);
