// One report at a time: the raising thread holds the notify lock while a
// handler thread builds the report, and meanwhile keeps painting (main thread)
// and runs the procedures posted to it.
#include "reporter/pipeline/ExceptNotifyWin.h"

#include <memory>
#include <mutex>
#include <string>

#include "reporter/config/InitOrder.h"
#include "reporter/config/InternalErrors.h"
#include "reporter/config/ModuleOptionsEx.h"
#include "reporter/config/ReporterLock.h"
#include "reporter/config/Trace.h"
#include "reporter/interception/CaptureStateWin.h"
#include "reporter/interception/OsExceptionObjects.h"
#include "reporter/interception/SafeCallMark.h"
#include "reporter/pipeline/EventHandlers.h"
#include "reporter/pipeline/ExceptionRecord.h"
#include "reporter/pipeline/PipelineRules.h"
#include "reporter/pipeline/ReportProgress.h"
#include "reporter/pipeline/ReporterStateWin.h"
#include "reporter/report/ReportText.h"
#include "reporter/report/SystemInfoWin.h"
#include "runtime/Exceptions.h"

namespace {

// One report: what the raising thread hands to the handler thread. Both hold
// a share, so a raising thread ended while it waits (a fault in a procedure
// it runs for the report) leaves the job to be finished without it.
struct TReportJob {
  TVexlorExceptionObject Object;
  std::uintptr_t Address = 0;
  bool IsCallReturn = false;
  TExceptNotifyParams Params;
  std::atomic<int> Running{1};
  bool Outcome = false;
};

// The handler thread, started with the reporter and kept for the process.
// Everything a report needs of a thread (the thread's slots, the C++
// runtime's per-thread exception state) is made while the program runs
// normally: a report made while the process exits, or while a thread ends
// inside its thread_local destructors, finds it all there, and no thread has
// to be started while another one may hold the loader lock.
class THandlerThread {
 public:
  bool Start() {
    ready_ = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    wake_ = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    if (!ready_ || !wake_) return false;
    parked_ = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    handle_ = CreateThread(nullptr, 0, &ThreadProc, this, 0, nullptr);
    if (!handle_) return false;
    // A library's start-up runs under the loader's lock, and a new thread
    // runs only once that is free: it is not waited for then.
    if (ReporterModuleIsLibrary() && ReporterFlags().UnitsInitialising) return true;
    // A thread that cannot start now (out of resources) is not waited for.
    HANDLE both[] = {ready_, handle_};
    WaitForMultipleObjects(2, both, FALSE, 5000);
    return true;
  }
  // A library's thread must be gone before the library's code is, and the
  // unloading thread holds the loader's lock that an ending thread needs: the
  // thread parks where it holds nothing and is ended there.
  void End() {
    if (Ended()) return;  // at the end of the process the system ended it
    quit_ = true;
    SetEvent(wake_);
    if (parked_) {
      HANDLE either[] = {parked_, handle_};
      WaitForMultipleObjects(2, either, FALSE, 2000);
    }
    TerminateThread(handle_, 1);
    WaitForSingleObject(handle_, 2000);
  }
  // A fault that nothing in the handler thread can catch ends the thread
  // itself (the unhandled-exception filter), before it ends its job.
  bool Ended() const { return !handle_ || WaitForSingleObject(handle_, 0) == WAIT_OBJECT_0; }
  bool Busy() const { return busy_.load(); }

  void Post(const std::shared_ptr<TReportJob>& job) {
    busy_ = true;
    delete pending_.exchange(new std::shared_ptr<TReportJob>(job));
    SetEvent(wake_);
  }

 private:
  static DWORD WINAPI ThreadProc(LPVOID parameter) {
    auto* self = static_cast<THandlerThread*>(parameter);
    // The reporter's own exceptions in this thread are never reports.
    ThreadCaptureState().InNotify = true;
    WarmUp();
    SetEvent(self->ready_);
    for (;;) {
      WaitForSingleObject(self->wake_, INFINITE);
      if (self->quit_) {
        SetEvent(self->parked_);
        for (;;) Sleep(INFINITE);
      }
      const std::unique_ptr<std::shared_ptr<TReportJob>> share(self->pending_.exchange(nullptr));
      if (!share) continue;
      TReportJob& job = **share;
      try {
        job.Outcome = InternalExceptNotify(job.Object, job.Address, job.IsCallReturn, job.Params);
      } catch (...) {
      }
      job.Running = 0;
      self->busy_ = false;
    }
  }

  // The per-thread state of the reporter, the locks' thread identity and
  // the C++ runtime's exception state of this thread, made now.
  static void WarmUp() {
    TVexlorLock lock;
    lock.Acquire();
    lock.Release();
    MarkReportProgress();
    try {
      throw Exception("warm-up");
    } catch (const Exception&) {
    }
  }

  HANDLE handle_ = nullptr;
  HANDLE ready_ = nullptr;
  HANDLE wake_ = nullptr;
  HANDLE parked_ = nullptr;
  std::atomic<bool> quit_{false};
  std::atomic<bool> busy_{false};
  std::atomic<std::shared_ptr<TReportJob>*> pending_{nullptr};
};

// Never destroyed: reports are made while static objects are destroyed. A
// handler thread that was ended by a fault is replaced at the next report.
std::atomic<THandlerThread*> handlerThread{nullptr};

THandlerThread* RunningHandlerThread() {
  THandlerThread* thread = handlerThread.load();
  if (thread && !thread->Ended()) return thread;
  auto* fresh = new THandlerThread;
  if (!fresh->Start()) return nullptr;  // a few handles are left; no report is lost
  handlerThread = fresh;
  return fresh;
}

// The holder of the notify lock is the raising thread, which may be ended
// while it runs a posted procedure or paints. Its report's handler thread may
// still be at work on the shared record: one report at a time means the next
// one waits for it.
void WaitForCutOffReport(void*) {
  THandlerThread* thread = handlerThread.load();
  while (thread && thread->Busy() && !thread->Ended()) Sleep(10);
}
TVexlorLock notifyLock{&WaitForCutOffReport};
std::function<void()>* callbackSlot = nullptr;  // guarded by callbackLock
// The slot points into the stack of the thread that posted; after a holder
// ended it may point into a dead stack, or its poster waits for it to empty.
TVexlorLock callbackLock{[](void*) { callbackSlot = nullptr; }};
TPipelineState pipelineState;
// Never destroyed: a report may be made while static objects are destroyed.
TVexlorExceptionRecord& recordInstance = *new TVexlorExceptionRecord;
std::atomic<TVexlorExceptionRecord*> currentRecord{nullptr};
TReportProgress reportProgress;
std::atomic<std::uint64_t> reportProgressBound{kReportProgressBoundMs};

void PumpPaintMessages() {
  MSG message;
  for (int i = 0; i < kWaitingMessagesPerRound && PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE);
       ++i) {
    switch (WaitingMessageAction(message.message)) {
      case TWaitingMessageAction::Dispatch:
        DispatchMessageA(&message);
        break;
      case TWaitingMessageAction::Beep:
        MessageBeep(MB_OK);
        break;
      case TWaitingMessageAction::Drop:
        break;
    }
  }
}

void RunPostedCallback() {
  std::lock_guard guard(callbackLock);
  if (!callbackSlot) return;
  try {
    (*callbackSlot)();
  } catch (...) {
  }
  callbackSlot = nullptr;
  // The application's handler may take its time; the report goes on after it.
  MarkReportProgress();
}

// The code the process ends with when its report is given up: the
// operating-system exception's own, or the C++ runtime's raise code.
UINT ExceptionExitCode(const TVexlorExceptionObject& object) {
  if (const auto* external = ExceptionObjectAs<EExternal>(object))
    return static_cast<UINT>(external->ExceptionCode());
  return kGccThrowCode;
}

// The report made no progress for the bound: whatever it waits for (a lock
// the raising threads hold, a frozen allocator) will not come. The process
// ends with the exception's code instead of hanging on its crash. Only the
// system is called: the C runtime and the reporter's own locks may be what
// the report waits for.
[[noreturn]] void GiveUpReport(const TVexlorExceptionObject& object) {
  char note[160];
  const int length = wsprintfA(note,
                               "VexlorLog: the report made no progress for %lu s (stage %d); "
                               "the process ends.\r\n",
                               static_cast<unsigned long>(ReportProgressBound() / 1000),
                               pipelineState.Stage.load());
  DWORD written = 0;
  WriteFile(GetStdHandle(STD_ERROR_HANDLE), note, static_cast<DWORD>(length), &written, nullptr);
  const UINT code = ExceptionExitCode(object);
  TerminateProcess(GetCurrentProcess(), code);
  ExitProcess(code);
}

class TInNotifyScope {
 public:
  explicit TInNotifyScope(TThreadCaptureState& state) : state_(state) { state_.InNotify = true; }
  ~TInNotifyScope() { state_.InNotify = false; }
  TInNotifyScope(const TInNotifyScope&) = delete;
  TInNotifyScope& operator=(const TInNotifyScope&) = delete;

 private:
  TThreadCaptureState& state_;
};

// Whether a thread has ended; one that cannot be opened has.
class TThreadWatch {
 public:
  explicit TThreadWatch(DWORD threadID) : handle_(OpenThread(SYNCHRONIZE, FALSE, threadID)) {}
  ~TThreadWatch() {
    if (handle_) CloseHandle(handle_);
  }
  TThreadWatch(const TThreadWatch&) = delete;
  TThreadWatch& operator=(const TThreadWatch&) = delete;

  bool Ended() const { return !handle_ || WaitForSingleObject(handle_, 0) == WAIT_OBJECT_0; }

 private:
  HANDLE handle_;
};

bool NotifyInHandlerThread(const TVexlorExceptionObject& object, std::uintptr_t address,
                           bool isCallReturn, const TExceptNotifyParams& params) {
  auto job = std::make_shared<TReportJob>();
  job->Object = object;
  job->Address = address;
  job->IsCallReturn = isCallReturn;
  job->Params = params;
  // Defaults from the raising thread, which the handler thread cannot read.
  TThreadCaptureState& raising = ThreadCaptureState();
  if (!job->Params.Context) job->Params.Context = &raising.RaiseContext;
  if (job->Params.StackTop == 0) job->Params.StackTop = CurrentStackBase();
  if (job->Params.StackPointer == 0) job->Params.StackPointer = raising.StackStart;

  THandlerThread* thread = RunningHandlerThread();
  if (!thread) {
    // No thread to be had (resources exhausted): the report is made here
    // rather than lost.
    return InternalExceptNotify(object, address, isCallReturn, job->Params);
  }
  MarkReportProgress();
  thread->Post(job);
  const bool mainThread = IsMainThread();
  do {
    if (mainThread) PumpPaintMessages();
    RunPostedCallback();
    Sleep(10);
    if (reportProgress.Stalled(GetTickCount64(), ReportProgressBound())) GiveUpReport(object);
  } while (job->Running && !thread->Ended());
  if (job->Running) {
    // The report was cut off: the internal error names the step it reached.
    try {
      throw Exception("The report's handler thread ended at a fault.");
    } catch (...) {
      ReportInternalError("InternalExceptNotify." + std::to_string(PipelineState().Stage.load()));
    }
  }
  return job->Outcome;
}

}  // namespace

TPipelineState& PipelineState() {
  return pipelineState;
}
TVexlorExceptionRecord* CurrentExceptionRecord() {
  return currentRecord.load();
}
void SetCurrentExceptionRecord(TVexlorExceptionRecord* record) {
  currentRecord = record;
}
TVexlorExceptionRecord& ExceptionRecordInstance() {
  return recordInstance;
}

TReportProgress& ReportProgress() {
  return reportProgress;
}
void MarkReportProgress() {
  reportProgress.Mark(GetTickCount64());
}
TVexlorReportPause::TVexlorReportPause() {
  reportProgress.Pause();
}
TVexlorReportPause::~TVexlorReportPause() {
  reportProgress.Resume(GetTickCount64());
}
std::uint64_t ReportProgressBound() {
  return reportProgressBound.load();
}
void SetReportProgressBound(std::uint64_t milliseconds) {
  reportProgressBound = milliseconds;
}

void PrepareReportPath() {
  // Function-local statics of the report path, built now: built during a
  // report made while the process exits, each would wait for the exit lock
  // (its destructor's registration) that the faulting thread holds.
  PlatformSystemInfo();
  CurrentReport();
  HasExceptionNotifyHandlers();
  StartupDirectory();
  WorkingOptions();
  RunningHandlerThread();
}

void EndReportPath() {
  if (!ReporterModuleIsLibrary()) return;
  if (THandlerThread* thread = handlerThread.exchange(nullptr)) thread->End();
}

std::uintptr_t LastNotifiedAddress() {
  return pipelineState.LastNotifiedAddress.load();
}
const void* LastNotifiedObject() {
  return pipelineState.LastNotifiedObject.load();
}

bool ExceptNotifyActiveOption() {
  const TVexlorModuleOptions* options = CurrentVexlorLogOptionsOrNull();
  return options && options->Active();
}

void FillFocusedWindow(TExceptNotifyParams& params) {
  // The keyboard focus of the raising thread's own windows.
  HWND focus = GetFocus();
  if (!focus) return;
  char className[257] = {};
  GetClassNameA(focus, className, 257);
  char text[257] = {};
  // A window of a hung or waiting thread must not block the report.
  DWORD_PTR length = 0;
  SendMessageTimeoutA(focus, WM_GETTEXT, 257, reinterpret_cast<LPARAM>(text),
                      SMTO_ABORTIFHUNG | SMTO_BLOCK, 100, &length);
  params.FocusedClassName = className;
  params.FocusedText =
      MaskedFocusedText(className, text, static_cast<unsigned>(GetWindowLongA(focus, GWL_STYLE)));
}

bool ExceptNotify(const TVexlorExceptionObject& object, std::uintptr_t address, bool isCallReturn,
                  std::uintptr_t stackTop, std::uintptr_t stackPointer, const CONTEXT* context,
                  std::uintptr_t stackCopyOrigin) {
  TraceEnter("ExceptNotify", {object.Object, reinterpret_cast<void*>(address), isCallReturn});
  std::lock_guard guard(notifyLock);
  TThreadCaptureState& state = ThreadCaptureState();
  if (state.InNotify) {
    TraceExit("ExceptNotify", {true});
    return true;
  }
  TInNotifyScope scope(state);

  bool result = true;
  if (ConsumeSafeCallMark()) {
    // The re-raise, at the COM caller, of an exception already reported
    // inside the safe-call boundary: it counts as notified.
    pipelineState.LastNotifiedAddress = address;
    pipelineState.LastNotifiedObject = object.Object;
    result = false;
  } else if (ExceptNotifyActiveOption()) {
    TExceptNotifyParams params;
    params.Context = context;
    params.StackTop = stackTop;
    params.StackPointer = stackPointer;
    params.StackCopyOrigin = stackCopyOrigin;
    params.ThreadID = GetCurrentThreadId();
    FillFocusedWindow(params);
    // No thread can start while the loader runs static initialisation of a
    // library; an executable can.
    if (ReporterModuleIsLibrary() &&
        (ReporterFlags().UnitsInitialising || ReporterFlags().UnitsFinalising)) {
      result = InternalExceptNotify(object, address, isCallReturn, params);
    } else {
      result = NotifyInHandlerThread(object, address, isCallReturn, params);
    }
  }

  ClearLastException();
  state.StackStart = 0;
  state.RaiseContext.ContextFlags = 0;
  SetCurrentExceptionRecord(nullptr);
  if (ReporterFlags().SafeCallPending.exchange(false)) SetSafeCallMark();
  TraceExit("ExceptNotify", {result});
  return result;
}

void RunInRaisingThread(const std::function<void()>& procedure) {
  TraceEnter("RunInRaisingThread");
  TVexlorExceptionRecord* record = CurrentExceptionRecord();
  if (record && record->ThreadID != GetCurrentThreadId()) {
    std::function<void()> posted = procedure;
    // A raising thread that was ended (a fault in a procedure it ran for us)
    // runs nothing any more: its poster goes on without it.
    const TThreadWatch raising(record->ThreadID);
    // One slot: a second poster waits for it to be free instead of replacing
    // a procedure that has not run yet.
    for (;;) {
      {
        std::lock_guard guard(callbackLock);
        if (!callbackSlot) {
          callbackSlot = &posted;
          break;
        }
      }
      if (raising.Ended()) break;
      Sleep(10);
    }
    for (;;) {
      {
        std::lock_guard guard(callbackLock);
        if (callbackSlot != &posted) break;
        if (raising.Ended()) {
          callbackSlot = nullptr;
          break;
        }
      }
      Sleep(10);
    }
  } else {
    try {
      procedure();
    } catch (...) {
    }
  }
  // The procedure may have changed the options the repeat test depends on.
  RetestRepeatedException();
  TraceExit("RunInRaisingThread");
}

void RestartOrTerminate(bool restart) {
  TraceEnter("RestartOrTerminate", {restart});
  if (restart) {
    STARTUPINFOA startup{};
    startup.cb = sizeof(startup);
    GetStartupInfoA(&startup);
    PROCESS_INFORMATION process{};
    std::string commandLine = GetCommandLineA();
    const std::string directory = StartupDirectory();
    if (CreateProcessA(nullptr, commandLine.data(), nullptr, nullptr, FALSE,
                       CREATE_NEW_PROCESS_GROUP | NORMAL_PRIORITY_CLASS, nullptr,
                       directory.empty() ? nullptr : directory.c_str(), &startup, &process)) {
      CloseHandle(process.hThread);
      CloseHandle(process.hProcess);
    }
  }
  TerminateProcess(GetCurrentProcess(), 1);
  ExitProcess(1);
}
