// The pipeline's dialog step: the exception dialog and the request for the
// steps to reproduce, shown by the handler thread, and the dialog's copy
// choice. The dialog code installs its implementation at start-up.
#pragma once

struct TVexlorExceptionRecord;

class TVexlorDialogStage {
 public:
  // False when the dialog could not be shown.
  virtual bool ShowExceptionDialog(TVexlorExceptionRecord& record) = 0;
  virtual void ClearReproduceSteps() = 0;
  virtual void AskReproduceSteps(TVexlorExceptionRecord& record) = 0;
  // The dialog's "copy to clipboard" choice.
  virtual bool CopyRequested() = 0;

 protected:
  // Never deleted through the interface; the reporter keeps every stage
  // alive for the whole process.
  ~TVexlorDialogStage() = default;
};

// Null removes it. With none installed the dialog is not shown (the GUI
// presentation fails with a warning) and nothing is asked or copied.
void SetDialogStage(TVexlorDialogStage* stage);
TVexlorDialogStage& DialogStage();
