// Putting the report together from the header and the tables, the process's
// current report, and the exception dialog's message.
#include "reporter/report/ReportText.h"

#include "reporter/config/ModuleOptions.h"
#include "reporter/config/Trace.h"
#include "reporter/debugdata/ModulesList.h"
#include "reporter/report/ReportHeader.h"
#include "reporter/report/ReportTables.h"
#include "reporter/report/TextFilters.h"

std::vector<const TVexlorModuleInfo*> ModulesForReport(const TVexlorModulesList& list) {
  std::vector<const TVexlorModuleInfo*> modules;
  modules.reserve(list.Count());
  for (std::size_t i = 0; i < list.Count(); ++i) modules.push_back(&list.Items(i));
  return modules;
}

TVexlorReport MakeReport(const TVexlorReportInput& input) {
  const TCustomizedTexts& texts =
      input.Options ? input.Options->CustomizedTexts() : DefaultCustomizedTexts();
  const std::uint32_t logItems = input.Options ? input.Options->LogItems() : 0xFFFFFFFFu;
  auto text = [&](TCustomizedText id) -> const std::string& {
    return texts[static_cast<std::size_t>(id)];
  };

  TVexlorReport report;
  report.IntroText = text(TCustomizedText::DialogErrorMessage) + "\r\n\r\n";
  report.HeaderText = BuildReportHeader(texts, logItems, input.Facts, input.ShowActiveControls);
  report.CPUText =
      BuildCpuText({text(TCustomizedText::CPURegisters), text(TCustomizedText::CPUStack),
                    text(TCustomizedText::CPUMemoryDump)},
                   input.Context, input.Dump);
  report.DuplicateKey = {input.Facts.ExceptionAddress, input.Facts.ExceptionModule,
                         input.Facts.ExceptionType,
                         ReplaceControlChars(input.Facts.ExceptionMessage)};
  const std::string tables =
      BuildCallStackTable(texts, input.CallStack) + BuildModulesTable(texts, input.Modules);
  report.ReportText = report.HeaderText + "\r\n" + tables + "\r\n\r\n" + report.CPUText;
  report.LogText = report.ReportText;
  return report;
}

// Never destroyed: a report may be made while static objects are destroyed.
TVexlorReport& CurrentReport() {
  static TVexlorReport& report = *new TVexlorReport;
  return report;
}

std::string BuildReportText(const TVexlorReportInput& input) {
  TraceEnter("BuildReportText");
  CurrentReport() = MakeReport(input);
  TraceExit("BuildReportText", {CurrentReport().ReportText.size()});
  return CurrentReport().ReportText;
}

std::string BuildDialogMessageText(const TReportException& exception) {
  TraceEnter("BuildDialogMessageText");
  CurrentReport().DialogMessageText =
      ReplaceControlCharsKeepLines(GetExceptionMessageText(exception));
  TraceExit("BuildDialogMessageText", {CurrentReport().DialogMessageText});
  return CurrentReport().DialogMessageText;
}
