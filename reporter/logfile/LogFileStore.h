// The log file's two steps of a report: the repeat test (has this exception
// been stored before?) and the storing itself, with the application's
// notifications around it and the retry they may ask for. One log-file
// object lives from the repeat test of a report to the end of its storing.
#pragma once

#include <memory>
#include <string>

#include "reporter/logfile/LogFile.h"
#include "reporter/pipeline/EventHandlers.h"
#include "reporter/report/ReportText.h"

// What one storing needs from the options and the request dialog.
struct TLogStoreRequest {
  std::string FileName;  // the options' OutputLogFile
  int Maximum = 32;      // ErrorsNumberToSave
  bool SendEntireLog = false;
  // The request block: AskReproduceSteps on and a description typed.
  bool AskReproduceSteps = false;
  std::string ReproduceSteps;  // trimmed
  std::string RequestCaption;  // the "Request" text
  // The repeat test found the exception stored: nothing is stored.
  bool Repeated = false;
};

// The report's texts, which the storing extends: the full report gets the
// request block, the e-mail text becomes the report or, with SendEntireLog,
// the whole log.
struct TLogStoreTexts {
  std::string& ReportText;
  std::string& LogText;
};

// The application's handlers as the storing calls them (action 2 before,
// action 3 after, error 3 after a failure).
class TLogStoreEvents {
 public:
  virtual void ActionNotify(TVexlorAction action, bool& execute) = 0;
  virtual void ErrorNotify(TVexlorAction action, bool& retry) = 0;

 protected:
  ~TLogStoreEvents() = default;
};

// "\r\n" + caption + ":\r\n" + forty dashes + "\r\n" + the description.
std::string RequestBlock(const std::string& caption, const std::string& steps);

class TVexlorLogStore {
 public:
  // True when a stored report has the key's address, module, type and
  // message. The report being made (its own text) never counts: once stored
  // it must not turn itself into a repeat, or a later test would stop its
  // e-mail. Keeps the log-file object for the storing. Raises on a file that
  // exists but cannot be read.
  bool IsRepeated(const std::string& fileName, const TVexlorDuplicateKey& key,
                  const std::string& reportText);

  // Stores the report unless it is a repeat; false when nothing was stored
  // (a repeat, a handler's veto, a failure recorded as the "Log" warning).
  bool Store(const TLogStoreRequest& request, TLogStoreTexts texts, TLogStoreEvents& events);

  // Closes the file kept since a repeat test.
  void Close() { file_.reset(); }
  bool HoldsFile() const { return file_ != nullptr; }

 private:
  TLogFile& FileFor(const std::string& fileName);

  std::unique_ptr<TLogFile> file_;
};
