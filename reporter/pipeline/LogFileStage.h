// The pipeline's log-file step: the repeat test and the storing of a report.
// The log-file code installs its implementation at start-up.
#pragma once

struct TVexlorExceptionRecord;

class TVexlorLogFileStage {
 public:
  // The same exception (address, module, class, message) is in the log.
  virtual bool IsRepeatedException(const TVexlorExceptionRecord& record) = 0;
  // False when the report was not saved; the step records its own "Log"
  // warning (with the failure's message) and offers its retry. What escapes
  // it becomes the "Log" warning in the pipeline.
  // The step extends the record's report text by the request block.
  virtual bool AppendToLogFile(TVexlorExceptionRecord& record) = 0;

 protected:
  // Never deleted through the interface; the reporter keeps every stage
  // alive for the whole process.
  ~TVexlorLogFileStage() = default;
};

// Null removes it. With none installed nothing is a repeat and nothing is
// saved (the step answers "not done").
void SetLogFileStage(TVexlorLogFileStage* stage);
TVexlorLogFileStage& LogFileStage();
