// The complete plain-text report of one exception. The capture side fills a
// TVexlorReportInput with plain values; everything here is formatting, so the
// exact text is the same wherever it is built. On Windows the input comes
// from:
//   Facts      CollectReportFacts(PlatformSystemInfo(), exception)
//   Modules    ModulesForReport(modules list)
//   Context    ReportCpuContextOf(context)          (CpuContextWin.h)
//   Dump       CaptureMemoryDump(process memory reader, stack pointer,
//                                exception address)  (MemoryDump.h)
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "reporter/debugdata/ModuleInfo.h"
#include "reporter/debugdata/StackList.h"
#include "reporter/report/CpuBlock.h"
#include "reporter/report/SystemFacts.h"

class TVexlorModuleOptions;
class TVexlorModulesList;

struct TVexlorReportInput {
  // The working options: the texts and the header lines to show. Null means
  // the default texts with every line shown.
  const TVexlorModuleOptions* Options = nullptr;
  // The header values (CollectReportFacts).
  TReportFacts Facts;
  // Off for web and console programs, which have no active controls to show.
  bool ShowActiveControls = true;
  const TVexlorStackList* CallStack = nullptr;
  // In list order (ModulesForReport).
  std::vector<const TVexlorModuleInfo*> Modules;
  // Registers at the exception; none when no readable context was captured.
  std::optional<TReportCpuContext> Context;
  // None when the stack or the code memory was not readable.
  std::optional<TReportMemoryDump> Dump;
};

// What the log file compares to find a repeated exception.
struct TVexlorDuplicateKey {
  std::string Address;
  std::string Module;
  std::string Type;
  std::string Message;  // control bytes replaced
};

// Everything one build produces; read afterwards by the log file, the
// dialog and delivery.
struct TVexlorReport {
  std::string ReportText;
  std::string LogText;  // what delivery sends; the log file may extend it
  std::string HeaderText;
  std::string CPUText;
  std::string IntroText;          // the dialog's error message and an empty line
  std::string DialogMessageText;  // the exception message with its line breaks
  TVexlorDuplicateKey DuplicateKey;
};

// The records of a modules list, in its order.
std::vector<const TVexlorModuleInfo*> ModulesForReport(const TVexlorModulesList& list);

// Builds every text of the report from the input, without touching the
// process-wide report.
TVexlorReport MakeReport(const TVexlorReportInput& input);

// The process-wide report of the exception being handled. One report is made
// at a time (under the pipeline's notify lock); each build overwrites it.
TVexlorReport& CurrentReport();

// Builds the report into CurrentReport() and returns the report text. The
// dialog message text starts empty: BuildDialogMessageText adds it once the
// report is to be shown.
std::string BuildReportText(const TVexlorReportInput& input);

// The exception message for short displays, line breaks kept; stored as the
// current report's dialog message text.
std::string BuildDialogMessageText(const TReportException& exception);
