// The dialog stage of the pipeline: the exception dialog with the current
// report, the user's choices written back to the pipeline's flags, the
// request for the steps to reproduce, and the copy choice.
#include "reporter/dialogs/DialogStageWin.h"

#include "reporter/config/ModuleOptionsEx.h"
#include "reporter/debugdata/DebugLookup.h"
#include "reporter/debugdata/ModulesList.h"
#include "reporter/debugdata/StackList.h"
#include "reporter/dialogs/ExceptionDialogWin.h"
#include "reporter/pipeline/DialogStage.h"
#include "reporter/pipeline/EventHandlers.h"
#include "reporter/pipeline/ExceptionRecord.h"
#include "reporter/pipeline/ReporterStateWin.h"
#include "reporter/report/ReportText.h"

namespace {

const TVexlorModuleOptions& OptionsOf(const TVexlorExceptionRecord& record) {
  return record.ModuleOptions ? *record.ModuleOptions : WorkingOptions();
}

std::vector<TDialogRow> StackRows(const TVexlorStackList* stack) {
  std::vector<TDialogRow> rows;
  if (!stack) return rows;
  for (const TVexlorDebugInfo& item : *stack) {
    if (!ShownInCallStackPage(item)) continue;
    rows.push_back({StackRowImage(item), StackRowCells(item), item.UnitName, item.Line});
  }
  return rows;
}

// Copied under the list's lock: a thread that loads a library meanwhile
// changes the list while the dialog is open.
std::vector<TDialogRow> ModuleRows(TVexlorModulesList* modules) {
  std::vector<TDialogRow> rows;
  if (!modules) return rows;
  TModulesListLock lock;
  for (std::size_t i = 0; i < modules->Count(); ++i) {
    const TVexlorModuleInfo& module = modules->Items(i);
    rows.push_back({ModuleRowImage(module.FileName), ModuleRowCells(module), {}, 0});
  }
  return rows;
}

class TDialogStage final : public TVexlorDialogStage {
 public:
  bool ShowExceptionDialog(TVexlorExceptionRecord& record) override {
    copy_ = false;
    const TVexlorModuleOptions& options = OptionsOf(record);
    const TVexlorReport& report = CurrentReport();
    TExceptionDialogInput input;
    input.Options = &options;
    input.Message = report.DialogMessageText;
    input.GeneralText = report.HeaderText;
    input.CPUText = report.CPUText;
    input.StackRows = StackRows(record.CallStack);
    input.ModuleRows = ModuleRows(record.ModulesList);
    TPipelineState& pipeline = PipelineState();
    input.SendAvailable = options.EmailSendMode() != TEmailSendMode::None && !pipeline.Repeated;
    input.ErrorsSoFar = pipeline.ExceptionCounter;

    TExceptionDialogChoice choice;
    choice.Send = pipeline.SendFlag;
    choice.Screenshot = pipeline.ScreenshotFlag;
    const bool reached = ShowDialog(input, choice, [&record] {
      bool execute = true;
      RunActionNotify(record, TVexlorAction::atTerminatingApplication, execute);
      return execute;
    });
    pipeline.SendFlag = choice.Send;
    pipeline.ScreenshotFlag = choice.Screenshot;
    copy_ = choice.Copy;
    if (choice.Terminate) pipeline.TerminateRequest = true;
    return reached;
  }

  void ClearReproduceSteps() override {
    ExceptionRecordInstance().ReproduceSteps.clear();
    copy_ = false;
  }

  void AskReproduceSteps(TVexlorExceptionRecord& record) override {
    record.ReproduceSteps = ShowRequestDialog(OptionsOf(record));
  }

  bool CopyRequested() override { return copy_; }

 private:
  bool copy_ = false;
};

}  // namespace

void InstallDialogStage() {
  // Never destroyed: a report made while the process exits still finds it.
  static TDialogStage* const stage = new TDialogStage;
  SetDialogStage(stage);
}
