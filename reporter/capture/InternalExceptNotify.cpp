// The staged building and delivery of one report, in the handler thread. A
// failure of a stage becomes an internal error named after the stage; the
// report then ends with the result reached so far.
#include <memory>

#include "reporter/capture/DebugLookup.h"
#include "reporter/capture/CaptureState.h"
#include "reporter/capture/ConsoleReport.h"
#include "reporter/capture/EventHandlers.h"
#include "reporter/capture/ExceptNotify.h"
#include "reporter/capture/ExceptionRecord.h"
#include "reporter/capture/ForeignMemory.h"
#include "reporter/capture/Interception.h"
#include "reporter/capture/ModulesList.h"
#include "reporter/capture/ProcessMemory.h"
#include "reporter/capture/ReportStages.h"
#include "reporter/capture/ReporterStartup.h"
#include "reporter/capture/ThreadsList.h"
#include "reporter/config/CustomizedTexts.h"
#include "reporter/config/InternalErrors.h"
#include "reporter/config/ModuleOptionsEx.h"
#include "reporter/config/Trace.h"
#include "reporter/report/MemoryDump.h"
#include "reporter/report/ReportText.h"
#include "reporter/report/WindowsReportCapture.h"
#include "reporter/report/WindowsSystemInfo.h"
#include "runtime/Exceptions.h"

namespace {

struct TPipelineRun {
  TVexlorExceptionObject Object;
  std::uintptr_t Address = 0;
  bool IsCallReturn = false;
  TExceptNotifyParams Params;
  TReportException ReportException;
  std::unique_ptr<TVexlorStackList> CallStack;
  TVexlorModuleInfo* OptionsModule = nullptr;
  bool WillSend = false;
  bool EmailModeAtStart = false;
  bool Repeated = false;
  bool Result = false;
  int Stage = 0;
};

// Stage 2: the options of the module where the exception happened, falling
// back to this module's.
void ChooseOptions(TPipelineRun& run) {
  run.Stage = 101;
  TModulesListLock lock;
  TVexlorModuleInfo* module = FindModuleInfo(ModuleOfAddress(run.Address));
  run.Stage = 102;
  if (!module || !module->HasDebugData()) module = FindModuleInfo(ReporterModuleHandle());
  run.Stage = 103;
  TVexlorModuleOptionsEx& working = WorkingOptions();
  // This module's options are the ones the application may have changed
  // at run time; other modules' come from their records.
  const bool own = !module || module->Handle == ReporterModuleHandle();
  const TVexlorModuleOptions* source = own ? &CurrentVexlorLogOptions() : module->Options.get();
  if (source) {
    working.Assign(source);
    working.SetModuleName(module ? module->FileName : source->ModuleName());
  }
  run.OptionsModule = module;
  run.Stage = 104;
  run.EmailModeAtStart = working.EmailSendMode() != TEmailSendMode::None;
  if (InDesignEnvironment()) working.SetCustomDialogStyle(false);
}

// Stage 3: a filter row naming the exception's class (or an ancestor) ends
// the report, after its message if it has one.
bool FilteredOut(TPipelineRun& run) {
  run.Stage = 2;
  const TVexlorModuleOptionsEx& options = WorkingOptions();
  if (!options.ExceptionFiltersActive() || !run.Object.Type) return false;
  const auto& classes = options.ExceptionFilterClasses();
  const auto& messages = options.ExceptionFilterMessages();
  for (std::size_t row = 0; row < classes.size(); ++row) {
    if (classes[row].empty() || !InheritsFromName(*run.Object.Type, classes[row])) continue;
    run.Stage = 201;
    if (row < messages.size() && !messages[row].empty()) {
      MessageBoxA(
          nullptr, messages[row].c_str(),
          options
              .CustomizedTexts()[static_cast<std::size_t>(TCustomizedText::MsgCaptionInformation)]
              .c_str(),
          MB_ICONINFORMATION | MB_TASKMODAL | MB_TOPMOST | MB_SERVICE_NOTIFICATION);
    }
    return true;
  }
  return false;
}

// Stages 4 and 5: the call stack of the raising thread, then its creator's.
void CollectCallStack(TPipelineRun& run) {
  run.Stage = 3;
  TThreadCaptureState& here = ThreadCaptureState();
  if (run.Params.StackTop == 0) run.Params.StackTop = CurrentStackBase();
  if (run.Params.StackPointer == 0) run.Params.StackPointer = here.StackStart;
  if (!run.Params.Context && HasRaiseContext(here)) run.Params.Context = &here.RaiseContext;
  if (run.Params.Context &&
      !IsValidAddress(reinterpret_cast<std::uintptr_t>(run.Params.Context), sizeof(CONTEXT))) {
    run.Params.Context = nullptr;
  }
  run.Stage = 4;
  run.CallStack = WalkStack(run.Address, run.Params.StackPointer, run.Params.StackTop);
  if (!run.CallStack) run.CallStack = std::make_unique<TVexlorStackList>();

  run.Stage = 5;
  TVexlorThreadsList* threads = &VexlorThreadsList();
  threads->Lock();
  try {
    run.Stage = 5010;
    const std::ptrdiff_t index = threads->IndexOfThreadID(run.Params.ThreadID);
    if (index >= 0) {
      run.Stage = 5011;
      TVexlorThreadInfo& info = threads->Get(static_cast<std::size_t>(index));
      // The handler thread is the reporter's own and never the raising one.
      if (!info.CreatorStack.empty()) {
        run.Stage = 502;
        const auto start = reinterpret_cast<std::uintptr_t>(info.CreatorStack.data());
        std::unique_ptr<TVexlorStackList> creator =
            WalkStack(0, start, start + info.CreatorStack.size() - 1);
        run.Stage = 503;
        if (creator) {
          for (const TVexlorDebugInfo& item : *creator) run.CallStack->Add(item);
        }
        run.Stage = 504;
      }
    }
    run.Stage = 505;
  } catch (...) {
    threads->Unlock();
    throw;
  }
  threads->Unlock();
}

// Stage 6: the raising call is often found twice at the top of the scan.
void CleanCallStack(TPipelineRun& run) {
  run.Stage = 6;
  TVexlorStackList& stack = *run.CallStack;
  if (stack.Count() >= 2 && stack.Items(0).Address == stack.Items(1).Address) stack.Delete(0);
  run.Stage = 601;
  if (run.IsCallReturn && stack.Count() >= 2) {
    run.Stage = 602;
    for (std::size_t i = 1; i < stack.Count(); ++i) {
      if (stack.Items(i).Address == stack.Items(0).Address) {
        stack.Delete(0);
        break;
      }
    }
  }
}

TReportExceptionObject ReportObjectOf(const TVexlorExceptionObject& object) {
  TReportExceptionObject result;
  if (!IsValidExceptionObject(object)) return result;
  result.ClassName = ExceptionClassName(object);
  if (HasExceptionMessage(object)) result.Message = ExceptionMessage(object);
  return result;
}

// Stage 7: the record, the report text, the application's handlers.
void BuildReport(TPipelineRun& run, TVexlorExceptionRecord& record) {
  run.Stage = 7;
  PipelineState().GoOn = true;
  // The list is locked while the report reads it, not while the
  // application's handlers run.
  TModulesListLock lock;
  TVexlorModulesList& modules = VexlorModulesList();
  GetModulesList();
  run.Stage = 701;
  record.CallStack = run.CallStack.get();
  record.ModuleOptions = &WorkingOptions();
  record.ExceptionAddress = run.Address;
  record.ExceptionObject = run.Object;
  record.ThreadID = run.Params.ThreadID;
  record.ModulesList = &modules;

  run.Stage = 702;
  run.ReportException.Object = ReportObjectOf(run.Object);
  run.ReportException.Address = run.Address;
  run.ReportException.FocusedClassName = run.Params.FocusedClassName;
  run.ReportException.FocusedText = run.Params.FocusedText;
  TVexlorReportInput input;
  input.Options = &WorkingOptions();
  input.Facts = CollectReportFacts(PlatformSystemInfo(), run.ReportException);
  input.ShowActiveControls = !IsConsoleApplication() && !ReportStages().IsWebApplication();
  input.CallStack = run.CallStack.get();
  input.Modules = ModulesForReport(modules);
  if (run.Params.Context) {
    input.Context = ReportCpuContextOf(*run.Params.Context);
    TProcessMemory memory;
    input.Dump = CaptureMemoryDump(memory, run.Params.Context->Rsp, run.Address);
  }
  record.LogText = BuildReportText(input);
  SetCurrentExceptionRecord(&record);
}

void BuildRecord(TPipelineRun& run, TVexlorExceptionRecord& record) {
  BuildReport(run, record);
  run.Stage = 703;
  if (WorkingOptions().ReportFlags() & rfNoDuplicateErrors) {
    run.Repeated = ReportStages().IsRepeatedException(record);
  }
  run.Stage = 704;
  ClearLastInternalWarning();
  run.Stage = 705;
  ReportStages().CaptureScreen();
  run.Stage = 706;
  if (HasExceptionNotifyHandlers()) {
    bool goOn = true;
    RunExceptionNotify(record, goOn);
    PipelineState().GoOn = goOn;
    if (WorkingOptions().ReportFlags() & rfNoDuplicateErrors) {
      run.Repeated = ReportStages().IsRepeatedException(record);
    }
  }
}

// Stage 8: show the report where the program shows things.
void PresentReport(TPipelineRun& run, TVexlorExceptionRecord& record) {
  TVexlorReportStages& stages = ReportStages();
  const TVexlorModuleOptionsEx& options = WorkingOptions();
  if (!options.ShowExceptionDialog()) {
    if (stages.IsWebApplication()) stages.ShowWebReport(record, false);
    return;
  }
  run.Stage = 9;
  bool execute = true;
  RunActionNotify(record, TVexlorAction::atShowingExceptionInfo, execute);
  if (!execute) return;
  run.Stage = 10;
  if (stages.IsWebApplication()) {
    stages.ShowWebReport(record, true);
  } else if (IsConsoleApplication()) {
    try {
      WriteConsoleReport(CurrentReport().IntroText, record.LogText);
    } catch (...) {
      ReportInternalWarningFromException(TVexlorLogErrorCode::eeShowError, "Console");
    }
  } else {
    try {
      if (!stages.ShowExceptionDialog(record)) {
        throw Exception("The exception dialog is not available.");
      }
    } catch (...) {
      ReportInternalWarningFromException(TVexlorLogErrorCode::eeShowError, "GUI");
    }
  }
  run.Stage = 11;
  execute = true;
  RunActionNotify(record, TVexlorAction::atShowedExceptionInfo, execute);
}

void DeliverReport(TPipelineRun& run, TVexlorExceptionRecord& record) {
  run.Stage = 8;
  ++PipelineState().ExceptionCounter;
  BuildDialogMessageText(run.ReportException);
  PresentReport(run, record);

  TVexlorReportStages& stages = ReportStages();
  const TVexlorModuleOptionsEx& options = WorkingOptions();
  const bool emailOn = options.EmailSendMode() != TEmailSendMode::None;
  run.Stage = 12;
  if ((options.ReportFlags() & rfAskReproduceSteps) && !stages.IsWebApplication() &&
      !IsConsoleApplication() && !run.Repeated && (emailOn || options.SaveLogFile())) {
    stages.AskReproduceSteps(record);
  }
  run.Stage = 13;
  run.WillSend =
      emailOn && !run.Repeated && (run.EmailModeAtStart || !options.ShowExceptionDialog());
  if (run.WillSend) stages.WriteScreenshotFile();
  run.Stage = 14;
  stages.ReleaseScreen();
  run.Stage = 15;
  if (options.SaveLogFile() && !stages.AppendToLogFile(record)) {
    ReportInternalWarning(TVexlorLogErrorCode::eeLogError, "Log");
  }
  if (stages.CopyRequested()) CopyTextToClipboard(record.LogText);
  run.Stage = 16;
  if (run.WillSend) stages.SendReport(record);
  stages.DeleteScreenshotFile();
}

}  // namespace

bool InternalExceptNotify(const TVexlorExceptionObject& object, std::uintptr_t address,
                          bool isCallReturn, TExceptNotifyParams params) {
  TraceEnter("InternalExceptNotify",
             {object.Object, reinterpret_cast<void*>(address), isCallReturn});
  TPipelineRun run;
  run.Object = object;
  run.Address = address;
  run.IsCallReturn = isCallReturn;
  run.Params = std::move(params);
  TVexlorExceptionRecord& record = ExceptionRecordInstance();
  try {
    run.Stage = 1;
    run.ReportException.Date = PlatformSystemInfo().LocalNow();
    ReportStages().ClearReproduceSteps();
    if (address != 0) {
      PipelineState().LastNotifiedAddress = address;
      PipelineState().LastNotifiedObject = object.Object;
    }
    if (run.IsCallReturn && run.Address != 0) run.Address -= 5;

    ChooseOptions(run);
    if (!FilteredOut(run)) {
      CollectCallStack(run);
      CleanCallStack(run);
      BuildRecord(run, record);
      if (PipelineState().GoOn) {
        DeliverReport(run, record);
      } else {
        run.Result = true;  // a handler asked for the program's own handling
      }
      run.Stage = 17;
      record.CallStack = nullptr;
      run.CallStack.reset();
      run.Stage = 18;
      if (PipelineState().TerminateRequest) {
        run.Stage = 19;
        RestartOrTerminate(WorkingOptions().TerminateButtonAction() ==
                           TTerminateButtonAction::Restart);
      }
    }
  } catch (...) {
    ReportInternalError("InternalExceptNotify." + std::to_string(run.Stage));
  }
  record.CallStack = nullptr;
  TraceExit("InternalExceptNotify", {run.Result});
  return run.Result;
}
