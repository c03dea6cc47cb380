// The log-file stage of the pipeline: the repeat test and the storing of the
// current report, with the working options' log path and the application's
// handlers run in the raising thread.
#include "reporter/logfile/LogFileStageWin.h"

#include "reporter/config/ModuleOptionsEx.h"
#include "reporter/config/Trace.h"
#include "reporter/logfile/LogFileStore.h"
#include "reporter/pipeline/ExceptionRecord.h"
#include "reporter/pipeline/LogFileStage.h"
#include "reporter/pipeline/ReporterStateWin.h"
#include "reporter/report/TextFilters.h"

namespace {

class THandlerEvents : public TLogStoreEvents {
 public:
  explicit THandlerEvents(TVexlorExceptionRecord& record) : record_(record) {}
  void ActionNotify(TVexlorAction action, bool& execute) override {
    RunActionNotify(record_, action, execute);
  }
  void ErrorNotify(TVexlorAction action, bool& retry) override {
    RunErrorNotify(record_, action, retry);
  }

 private:
  TVexlorExceptionRecord& record_;
};

const TVexlorModuleOptions& OptionsOf(const TVexlorExceptionRecord& record) {
  return record.ModuleOptions ? *record.ModuleOptions : WorkingOptions();
}

class TLogFileStage final : public TVexlorLogFileStage {
 public:
  bool IsRepeatedException(const TVexlorExceptionRecord& record) override {
    try {
      const TVexlorReport& report = CurrentReport();
      return store_.IsRepeated(OptionsOf(record).OutputLogFile(), report.DuplicateKey,
                               report.ReportText);
    } catch (...) {
      // A log that cannot be read hides no repeat: the report goes on.
      Trace("CheckDuplicate", {"the log file cannot be read"});
      store_.Close();
      return false;
    }
  }

  bool AppendToLogFile(TVexlorExceptionRecord& record) override {
    const TVexlorModuleOptions& options = OptionsOf(record);
    TLogStoreRequest request;
    request.FileName = options.OutputLogFile();
    request.Maximum = options.ErrorsNumberToSave();
    request.SendEntireLog = options.SendEntireLog();
    request.AskReproduceSteps = (options.ReportFlags() & rfAskReproduceSteps) != 0;
    request.ReproduceSteps = Trim(record.ReproduceSteps);
    request.RequestCaption =
        options.Text(static_cast<std::uint8_t>(TCustomizedText::ReproduceCaption));
    request.Repeated = PipelineState().Repeated;
    TVexlorReport& report = CurrentReport();
    THandlerEvents events(record);
    const bool saved = store_.Store(request, {report.ReportText, report.LogText}, events);
    record.LogText = report.ReportText;
    return saved;
  }

 private:
  TVexlorLogStore store_;
};

}  // namespace

void InstallLogFileStage() {
  // Never destroyed: a report made while the process exits still finds it.
  static TLogFileStage* const stage = new TLogFileStage;
  SetLogFileStage(stage);
}
