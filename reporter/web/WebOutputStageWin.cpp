// The pipeline's web step: web programs get the report (or, with the dialog
// option off, only the message) as the page of their response.
#include <type_traits>

#include "reporter/pipeline/ExceptionRecord.h"
#include "reporter/pipeline/WebOutputStage.h"
#include "reporter/report/ReportText.h"
#include "reporter/web/WebOutputWin.h"

namespace {

class TVexlorWebOutput final : public TVexlorWebOutputStage {
 public:
  bool IsWebApplication() override { return ::IsWebApplication(); }
  bool ShowWebReport(TVexlorExceptionRecord& record, bool withReport) override {
    return ShowReportOnWeb(withReport ? record.LogText : CurrentReport().DialogMessageText);
  }
};

// Never destroyed: a report made while the process ends still finds it.
constinit TVexlorWebOutput webOutput;
static_assert(std::is_trivially_destructible_v<TVexlorWebOutput>);

}  // namespace

void InstallWebOutput() {
  SetWebOutputStage(&webOutput);
}
