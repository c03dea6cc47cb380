// The repeat test and the storing step of the log file.
#include "reporter/logfile/LogFileStore.h"

#include "reporter/config/InternalErrors.h"
#include "reporter/config/Trace.h"

namespace {

// The header lines the repeat test compares: Exception section, lines 2.2
// Address, 2.3 Module, 2.4 Type, 2.5 Message.
const std::vector<std::string> kRepeatLabels = {"2.2", "2.3", "2.4", "2.5"};

bool HoldsItemOf(const TLogFile& file, const std::string& text) {
  for (const std::string& item : file.Items()) {
    if (IsItemOf(item, text)) return true;
  }
  return false;
}

}  // namespace

std::string RequestBlock(const std::string& caption, const std::string& steps) {
  return "\r\n" + caption + ":\r\n" + std::string(40, '-') + "\r\n" + steps;
}

TLogFile& TVexlorLogStore::FileFor(const std::string& fileName) {
  // The options of another module may name another log.
  if (!file_ || file_->FileName() != fileName) {
    file_.reset();
    file_ = std::make_unique<TLogFile>(fileName);
  }
  return *file_;
}

bool TVexlorLogStore::IsRepeated(const std::string& fileName, const TVexlorDuplicateKey& key,
                                 const std::string& reportText) {
  TraceEnter("CheckDuplicate", {fileName});
  const bool found = FileFor(fileName).Find(
      kRepeatLabels, {key.Address, key.Module, key.Type, key.Message}, reportText);
  TraceExit("CheckDuplicate", {found});
  return found;
}

bool TVexlorLogStore::Store(const TLogStoreRequest& request, TLogStoreTexts texts,
                            TLogStoreEvents& events) {
  TraceEnter("SaveReportToLog", {request.FileName});
  bool allowed = true;
  events.ActionNotify(TVexlorAction::atSavingLogFile, allowed);

  bool saved = false;
  bool blockAdded = false;
  int attempt = 0;
  bool retry = false;
  do {
    ++attempt;
    ClearLastInternalWarning();
    // A retry tries to save again; a handler's veto stays a veto.
    bool goOn = allowed;
    try {
      TLogFile& file = FileFor(request.FileName);
      if (!request.Repeated) {
        if (!blockAdded) {
          blockAdded = true;
          if (request.AskReproduceSteps && !request.ReproduceSteps.empty()) {
            texts.ReportText += RequestBlock(request.RequestCaption, request.ReproduceSteps);
            texts.LogText = texts.ReportText;
          }
        }
        // Under the lock the file is read again, so the report is added
        // exactly once to what is on disk now; a retry after a write that
        // got through does not add it twice. Without saving nothing is
        // locked: the list read at the repeat test gives the whole-log text.
        if (goOn) file.LockAndReload();
        if (attempt == 1 || !HoldsItemOf(file, texts.ReportText)) {
          file.Add(texts.ReportText, request.Maximum);
        }
        if (request.SendEntireLog) texts.LogText = file.GetText();
        if (goOn) {
          file.Save();
          saved = true;
        }
      }
    } catch (...) {
      ReportInternalWarningFromException(TVexlorLogErrorCode::eeLogError, "Log");
      goOn = false;
      // The handlers that may ask for a retry run without the lock.
      if (file_) file_->ReleaseLock();
    }
    retry = false;
    if (!goOn) events.ErrorNotify(TVexlorAction::atSavedLogFile, retry);
  } while (retry && !saved);

  file_.reset();
  bool done = saved;
  events.ActionNotify(TVexlorAction::atSavedLogFile, done);
  TraceExit("SaveReportToLog", {saved});
  return saved;
}
