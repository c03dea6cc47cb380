// Steps of a report that other parts of the reporter carry out: the log file,
// the dialogs, the screenshot and delivery. Each part installs its
// implementation at start-up; a step whose part is not installed has nothing
// to do (the base class answers "not done").
#pragma once

#include <string>

struct TVexlorExceptionRecord;

class TVexlorReportStages {
 public:
  virtual ~TVexlorReportStages() = default;

  // Log file: the same exception (address, module, class, message) is in it.
  virtual bool IsRepeatedException(const TVexlorExceptionRecord&) { return false; }
  // False when the report was not saved; the step records its own "Log"
  // warning (with the failure's message) and offers its retry. What escapes
  // it becomes the "Log" warning in the pipeline.
  virtual bool AppendToLogFile(const TVexlorExceptionRecord&) { return true; }

  // Screenshot: taken before any dialog, written to a temporary file only
  // when the report will be sent, always released and deleted at the end.
  virtual void CaptureScreen() {}
  virtual void WriteScreenshotFile() {}
  virtual void ReleaseScreen() {}
  virtual void DeleteScreenshotFile() {}

  // Dialogs, shown by the handler thread. ShowExceptionDialog returns false
  // when the dialog could not be shown.
  virtual bool ShowExceptionDialog(TVexlorExceptionRecord&) { return false; }
  virtual void ClearReproduceSteps() {}
  virtual void AskReproduceSteps(TVexlorExceptionRecord&) {}
  // The dialog's "copy to clipboard" choice.
  virtual bool CopyRequested() { return false; }

  // Web application kinds: the report as an HTML page.
  virtual bool IsWebApplication() { return false; }
  virtual bool ShowWebReport(TVexlorExceptionRecord&, bool /*withReport*/) { return false; }

  // Delivery of the report by e-mail.
  virtual void SendReport(TVexlorExceptionRecord&) {}
};

// Null restores the empty set.
void SetReportStages(TVexlorReportStages* stages);
TVexlorReportStages& ReportStages();
