// The staged building and delivery of one report, in the handler thread. A
// failure of a stage becomes an internal error named after the stage; the
// report then ends with the result reached so far.
#include <memory>

#include "reporter/config/CustomizedTexts.h"
#include "reporter/config/InternalErrors.h"
#include "reporter/config/ModuleOptionsEx.h"
#include "reporter/config/Trace.h"
#include "reporter/debugdata/DebugLookup.h"
#include "reporter/debugdata/ForeignMemory.h"
#include "reporter/debugdata/ModulesList.h"
#include "reporter/debugdata/ProcessMemory.h"
#include "reporter/debugdata/ThreadsList.h"
#include "reporter/interception/CaptureStateWin.h"
#include "reporter/interception/ExceptionHandled.h"
#include "reporter/interception/FrameWalkWin.h"
#include "reporter/pipeline/ConsoleReport.h"
#include "reporter/pipeline/DeliveryStage.h"
#include "reporter/pipeline/DialogStage.h"
#include "reporter/pipeline/EventHandlers.h"
#include "reporter/pipeline/ExceptionRecord.h"
#include "reporter/pipeline/ExceptNotifyWin.h"
#include "reporter/pipeline/LogFileStage.h"
#include "reporter/pipeline/PipelineRules.h"
#include "reporter/pipeline/ReportProgress.h"
#include "reporter/pipeline/ReporterStateWin.h"
#include "reporter/pipeline/ScreenshotStage.h"
#include "reporter/pipeline/WebOutputStage.h"
#include "reporter/report/CpuContextWin.h"
#include "reporter/report/MemoryDump.h"
#include "reporter/report/ReportText.h"
#include "reporter/report/SystemInfoWin.h"
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
  bool Result = false;
};

// Shared with the raising thread, which names it when this thread is ended by
// a fault that no handler of this thread could catch.
// Each stage reached is progress for the raising thread's bound.
void SetStage(int stage) {
  PipelineState().Stage = stage;
  MarkReportProgress();
}

// Stage 2: the options of the module where the exception happened, falling
// back to this module's.
void ChooseOptions(TPipelineRun& run) {
  SetStage(101);
  TModulesListLock lock;
  TVexlorModuleInfo* module = FindModuleInfo(ModuleOfAddress(run.Address));
  SetStage(102);
  if (!module || !module->HasDebugData()) module = FindModuleInfo(ReporterModuleHandle());
  SetStage(103);
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
  SetStage(104);
  PipelineState().SendFlag = working.EmailSendMode() != TEmailSendMode::None;
  PipelineState().ScreenshotFlag = working.AttachScreenshot();
  if (InDesignEnvironment()) working.SetCustomDialogStyle(false);
}

// Stage 3: a filter row naming the exception's class (or an ancestor) ends
// the report, after its message if it has one.
bool FilteredOut(TPipelineRun& run) {
  SetStage(2);
  const TVexlorModuleOptionsEx& options = WorkingOptions();
  if (!options.ExceptionFiltersActive() || !run.Object.Type) return false;
  const auto& classes = options.ExceptionFilterClasses();
  const auto& messages = options.ExceptionFilterMessages();
  for (std::size_t row = 0; row < classes.size(); ++row) {
    if (classes[row].empty() || !InheritsFromName(*run.Object.Type, classes[row])) continue;
    SetStage(201);
    if (row < messages.size() && !messages[row].empty()) {
      const TVexlorReportPause reading;
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

TFrameRegisters FrameRegistersOf(const CONTEXT& context) {
  TFrameRegisters frame;
  const DWORD64* registers = &context.Rax;  // RAX ... R15 in register-number order
  for (int i = 0; i < 16; ++i) frame.Registers[i] = registers[i];
  frame.Known = kAllRegistersKnown;
  frame.Rip = context.Rip;
  return frame;
}

// The reporter's own thread wrapper runs below every thread it starts, and
// its thread-end runner below every thread_local destructor; their frames are
// no part of the program's call stack.
void DropReporterFrames(TVexlorStackList& stack) {
  for (std::size_t i = stack.Count(); i-- > 0;) {
    if (IsReporterFrame(stack.Items(i).Address)) stack.Delete(i);
  }
}

// The stack copy a report was given: [StackPointer, StackTop] stands for the
// stack from StackCopyOrigin on.
std::size_t StackCopySize(const TExceptNotifyParams& params) {
  return params.StackTop >= params.StackPointer ? params.StackTop - params.StackPointer + 1 : 0;
}
TStackCopyReader StackCopyOf(const TExceptNotifyParams& params, TVexlorMemoryReader& process) {
  return TStackCopyReader(process, params.StackCopyOrigin,
                          reinterpret_cast<const std::uint8_t*>(params.StackPointer),
                          StackCopySize(params));
}

// Stages 4 and 5: the call stack of the raising thread, then its creator's.
void CollectCallStack(TPipelineRun& run) {
  SetStage(3);
  TThreadCaptureState& here = ThreadCaptureState();
  if (run.Params.StackTop == 0) run.Params.StackTop = CurrentStackBase();
  if (run.Params.StackPointer == 0) run.Params.StackPointer = here.StackStart;
  if (!run.Params.Context && HasRaiseContext(here)) run.Params.Context = &here.RaiseContext;
  if (run.Params.Context &&
      !IsValidAddress(reinterpret_cast<std::uintptr_t>(run.Params.Context), sizeof(CONTEXT))) {
    run.Params.Context = nullptr;
  }
  SetStage(4);
  // x86_64 code carries unwind data: the frames are walked from the raise's
  // registers. Without them (the framework's handler, after the unwinding)
  // the raw scan of the stack is all there is.
  if (run.Params.Context && run.Params.StackCopyOrigin != 0) {
    // A copy of the stack (a freeze report): read where it stood.
    run.CallStack = WalkStackCopyFrames(
        FrameRegistersOf(*run.Params.Context), false, run.Params.StackCopyOrigin,
        reinterpret_cast<const std::uint8_t*>(run.Params.StackPointer), StackCopySize(run.Params));
  } else if (run.Params.Context) {
    run.CallStack =
        WalkStackFrames(run.Address, FrameRegistersOf(*run.Params.Context), run.Params.StackTop);
  } else {
    run.CallStack = WalkStack(run.Address, run.Params.StackPointer, run.Params.StackTop);
  }
  if (!run.CallStack) run.CallStack = std::make_unique<TVexlorStackList>();
  DropReporterFrames(*run.CallStack);

  SetStage(5);
  TVexlorThreadsList* threads = &VexlorThreadsList();
  threads->Lock();
  try {
    SetStage(5010);
    const std::ptrdiff_t index = threads->IndexOfThreadID(run.Params.ThreadID);
    if (index >= 0) {
      SetStage(5011);
      TVexlorThreadInfo& info = threads->Get(static_cast<std::size_t>(index));
      // The handler thread is the reporter's own and never the raising one.
      if (!info.CreatorStack.empty()) {
        SetStage(502);
        // Walked in place of the creator's stack when the copy's origin is
        // known, else scanned as the copy it is.
        std::unique_ptr<TVexlorStackList> creator;
        if (info.CreatorStackOrigin != 0) {
          creator = WalkStackCopyFrames({}, true, info.CreatorStackOrigin, info.CreatorStack.data(),
                                        info.CreatorStack.size());
        } else {
          const auto start = reinterpret_cast<std::uintptr_t>(info.CreatorStack.data());
          creator = WalkStack(0, start, start + info.CreatorStack.size() - 1);
        }
        SetStage(503);
        if (creator) DropReporterFrames(*creator);
        if (creator) {
          for (const TVexlorDebugInfo& item : *creator) run.CallStack->Add(item);
        }
        SetStage(504);
      }
    }
    SetStage(505);
  } catch (...) {
    threads->Unlock();
    throw;
  }
  threads->Unlock();
}

// Stage 6: the raising call is often found twice at the top of the scan.
void CleanCallStack(TPipelineRun& run) {
  SetStage(6);
  DropRepeatedTopItem(*run.CallStack);
  SetStage(601);
  if (run.IsCallReturn) {
    SetStage(602);
    DropRaiseCallNamedAgain(*run.CallStack);
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
  SetStage(7);
  PipelineState().GoOn = true;
  // The list is locked while the report reads it, not while the
  // application's handlers run.
  TModulesListLock lock;
  TVexlorModulesList& modules = VexlorModulesList();
  GetModulesList();
  SetStage(701);
  record.CallStack = run.CallStack.get();
  record.ModuleOptions = &WorkingOptions();
  record.ExceptionAddress = run.Address;
  record.ExceptionObject = run.Object;
  record.ThreadID = run.Params.ThreadID;
  record.ModulesList = &modules;

  SetStage(702);
  run.ReportException.Object = ReportObjectOf(run.Object);
  run.ReportException.Address = run.Address;
  run.ReportException.FocusedClassName = run.Params.FocusedClassName;
  run.ReportException.FocusedText = run.Params.FocusedText;
  TVexlorReportInput input;
  input.Options = &WorkingOptions();
  input.Facts = CollectReportFacts(PlatformSystemInfo(), run.ReportException);
  input.ShowActiveControls = !IsConsoleApplication() && !WebOutputStage().IsWebApplication();
  input.CallStack = run.CallStack.get();
  input.Modules = ModulesForReport(modules);
  if (run.Params.Context) {
    input.Context = ReportCpuContextOf(*run.Params.Context);
    TProcessMemory memory;
    if (run.Params.StackCopyOrigin != 0) {
      TStackCopyReader copy = StackCopyOf(run.Params, memory);
      input.Dump = CaptureMemoryDump(copy, run.Params.Context->Rsp, run.Address);
    } else {
      input.Dump = CaptureMemoryDump(memory, run.Params.Context->Rsp, run.Address);
    }
  }
  record.LogText = BuildReportText(input);
  SetCurrentExceptionRecord(&record);
}

void BuildRecord(TPipelineRun& run, TVexlorExceptionRecord& record) {
  BuildReport(run, record);
  SetStage(703);
  RetestRepeatedException();
  SetStage(704);
  ClearLastInternalWarning();
  SetStage(705);
  ScreenshotStage().CaptureScreen();
  SetStage(706);
  if (HasExceptionNotifyHandlers()) {
    bool goOn = true;
    RunExceptionNotify(record, goOn);
    PipelineState().GoOn = goOn;
  }
}

// Stage 8: show the report where the program shows things. The after-dialog
// handlers hear only of a report that was shown.
void PresentReport(TVexlorExceptionRecord& record) {
  TVexlorWebOutputStage& web = WebOutputStage();
  const TVexlorModuleOptionsEx& options = WorkingOptions();
  if (!options.ShowExceptionDialog()) {
    if (web.IsWebApplication()) web.ShowWebReport(record, false);
    return;
  }
  SetStage(9);
  bool execute = true;
  RunActionNotify(record, TVexlorAction::atShowingExceptionInfo, execute);
  if (!execute) return;
  SetStage(10);
  bool shown = false;
  if (web.IsWebApplication()) {
    shown = web.ShowWebReport(record, true);
  } else if (IsConsoleApplication()) {
    try {
      WriteConsoleReport(CurrentReport().IntroText, record.LogText);
      shown = true;
    } catch (...) {
      ReportInternalWarningFromException(TVexlorLogErrorCode::eeShowError, "Console");
    }
  } else {
    try {
      // A person reads the dialog: the time is no stall of the report.
      const TVexlorReportPause reading;
      if (!DialogStage().ShowExceptionDialog(record)) {
        throw Exception("The exception dialog is not available.");
      }
      shown = true;
    } catch (...) {
      ReportInternalWarningFromException(TVexlorLogErrorCode::eeShowError, "GUI");
    }
  }
  if (!shown) return;
  SetStage(11);
  execute = true;
  RunActionNotify(record, TVexlorAction::atShowedExceptionInfo, execute);
}

void DeliverReport(TPipelineRun& run, TVexlorExceptionRecord& record) {
  SetStage(8);
  ++PipelineState().ExceptionCounter;
  BuildDialogMessageText(run.ReportException);
  PresentReport(record);

  TVexlorScreenshotStage& screenshot = ScreenshotStage();
  TVexlorDialogStage& dialog = DialogStage();
  const TVexlorModuleOptionsEx& options = WorkingOptions();
  const bool emailOn = options.EmailSendMode() != TEmailSendMode::None;
  SetStage(12);
  if ((options.ReportFlags() & rfAskReproduceSteps) && !WebOutputStage().IsWebApplication() &&
      !IsConsoleApplication() && !PipelineState().Repeated && (emailOn || options.SaveLogFile())) {
    const TVexlorReportPause writing;
    dialog.AskReproduceSteps(record);
  }
  SetStage(13);
  // The send flag carries the dialog's send box; without a dialog e-mail that
  // a handler switched on is sent as well.
  run.WillSend = emailOn && !PipelineState().Repeated &&
                 (PipelineState().SendFlag || !options.ShowExceptionDialog());
  if (run.WillSend) screenshot.WriteScreenshotFile();
  SetStage(14);
  screenshot.ReleaseScreen();
  SetStage(15);
  if (options.SaveLogFile()) {
    // A report that cannot be saved is still copied and sent.
    try {
      LogFileStage().AppendToLogFile(record);
    } catch (...) {
      ReportInternalWarningFromException(TVexlorLogErrorCode::eeLogError, "Log");
    }
  }
  if (dialog.CopyRequested()) CopyTextToClipboard(record.LogText);
  SetStage(16);
  if (run.WillSend) {
    // Sending bounds each of its steps itself (a timeout per network reply,
    // the system's for a connection) and may wait for a person (the progress
    // window's Cancel, the mail client's window): it runs outside the bound.
    const TVexlorReportPause sending;
    DeliveryStage().SendReport(record);
  }
  screenshot.DeleteScreenshotFile();
}

}  // namespace

void RetestRepeatedException() {
  TVexlorExceptionRecord* record = CurrentExceptionRecord();
  if (!record) return;
  PipelineState().Repeated = (WorkingOptions().ReportFlags() & rfNoDuplicateErrors) &&
                             LogFileStage().IsRepeatedException(*record);
}

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
  PipelineState().Repeated = false;
  try {
    SetStage(1);
    run.ReportException.Date = PlatformSystemInfo().LocalNow();
    record.ReproduceSteps.clear();
    DialogStage().ClearReproduceSteps();
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
        // A handler asked for the program's own handling; the screen taken
        // for this report is not kept for the next one.
        ScreenshotStage().ReleaseScreen();
        run.Result = true;
      }
      SetStage(17);
      record.CallStack = nullptr;
      run.CallStack.reset();
      SetStage(18);
      if (PipelineState().TerminateRequest) {
        SetStage(19);
        RestartOrTerminate(WorkingOptions().TerminateButtonAction() ==
                           TTerminateButtonAction::Restart);
      }
    }
  } catch (...) {
    ReportInternalError("InternalExceptNotify." + std::to_string(PipelineState().Stage.load()));
  }
  record.CallStack = nullptr;
  TraceExit("InternalExceptNotify", {run.Result});
  return run.Result;
}
