// The pipeline's web step: web application kinds get the report as an HTML
// page. The web-output code installs its implementation at start-up.
#pragma once

struct TVexlorExceptionRecord;

class TVexlorWebOutputStage {
 public:
  virtual bool IsWebApplication() = 0;
  // withReport: the page carries the report, else only the message. False
  // when nothing reached the client.
  virtual bool ShowWebReport(TVexlorExceptionRecord& record, bool withReport) = 0;

 protected:
  // Never deleted through the interface; the reporter keeps every stage
  // alive for the whole process.
  ~TVexlorWebOutputStage() = default;
};

// Null removes it; with none installed no program counts as a web program.
void SetWebOutputStage(TVexlorWebOutputStage* stage);
TVexlorWebOutputStage& WebOutputStage();
