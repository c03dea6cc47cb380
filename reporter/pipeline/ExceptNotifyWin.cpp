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
#include "reporter/interception/SafeCallMark.h"
#include "reporter/pipeline/ExceptionRecord.h"
#include "reporter/pipeline/PipelineRules.h"
#include "reporter/pipeline/ReporterStateWin.h"
#include "runtime/Exceptions.h"

namespace {

// The handler thread of the report under way. A raising thread that ended
// while it waited leaves it here, still running.
std::atomic<HANDLE> reportThread{nullptr};

// The holder of the notify lock is the raising thread, which may be ended
// while it runs a posted procedure or paints. Its report's handler thread may
// still be at work on the shared record: one report at a time means the next
// one waits for it.
void WaitForCutOffReport(void*) {
  if (HANDLE thread = reportThread.exchange(nullptr)) {
    WaitForSingleObject(thread, INFINITE);
    CloseHandle(thread);
  }
}
TVexlorLock notifyLock{&WaitForCutOffReport};
std::function<void()>* callbackSlot = nullptr;  // guarded by callbackLock
// The slot points into the stack of the thread that posted; after a holder
// ended it may point into a dead stack, or its poster waits for it to empty.
TVexlorLock callbackLock{[](void*) { callbackSlot = nullptr; }};
TPipelineState pipelineState;
TVexlorExceptionRecord recordInstance;
std::atomic<TVexlorExceptionRecord*> currentRecord{nullptr};

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
}

// The handler thread: builds the report while the raising thread waits.
class TExceptionThread : public std::enable_shared_from_this<TExceptionThread> {
 public:
  TExceptionThread(const TVexlorExceptionObject& object, std::uintptr_t address, bool isCallReturn,
                   const TExceptNotifyParams& params)
      : object_(object), address_(address), isCallReturn_(isCallReturn), params_(params) {
    TThreadCaptureState& raising = ThreadCaptureState();
    if (!params_.Context) params_.Context = &raising.RaiseContext;
    if (params_.StackTop == 0) params_.StackTop = CurrentStackBase();
    if (params_.StackPointer == 0) params_.StackPointer = raising.StackStart;
  }
  TExceptionThread(const TExceptionThread&) = delete;
  TExceptionThread& operator=(const TExceptionThread&) = delete;

  bool Start() {
    Running = 1;
    // The handler thread holds the object as well: a raising thread that is
    // ended while it waits (a fault in a procedure it runs for the report)
    // takes its stack with it, and the report is finished without it.
    auto* shared = new std::shared_ptr<TExceptionThread>(shared_from_this());
    handle_ = CreateThread(nullptr, 0, &ThreadProc, shared, 0, nullptr);
    if (!handle_) {
      delete shared;
      Running = 0;
      return false;
    }
    reportThread = handle_;
    return true;
  }
  // Once the thread has ended: it is no longer the report under way.
  void Close() {
    if (!handle_) return;
    HANDLE own = handle_;
    reportThread.compare_exchange_strong(own, nullptr);
    CloseHandle(handle_);
    handle_ = nullptr;
  }
  void WaitFor() const {
    if (handle_) WaitForSingleObject(handle_, INFINITE);
  }
  // A fault that nothing in the handler thread can catch ends the thread
  // itself (the unhandled-exception filter), before it clears Running.
  bool Ended() const { return handle_ && WaitForSingleObject(handle_, 0) == WAIT_OBJECT_0; }

  std::atomic<int> Running{0};
  bool Outcome = false;

 private:
  static DWORD WINAPI ThreadProc(LPVOID parameter) {
    // A thread ended by a fault never drops its share: the object is left
    // behind rather than freed under its raising thread.
    const std::unique_ptr<std::shared_ptr<TExceptionThread>> share(
        static_cast<std::shared_ptr<TExceptionThread>*>(parameter));
    TExceptionThread* thread = share->get();
    // The reporter's own exceptions in this thread are never reports.
    ThreadCaptureState().InNotify = true;
    try {
      thread->Outcome = InternalExceptNotify(thread->object_, thread->address_,
                                             thread->isCallReturn_, thread->params_);
    } catch (...) {
    }
    thread->Running = 0;
    return 0;
  }

  TVexlorExceptionObject object_;
  std::uintptr_t address_;
  bool isCallReturn_;
  TExceptNotifyParams params_;
  HANDLE handle_ = nullptr;
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

class TInNotifyScope {
 public:
  explicit TInNotifyScope(TThreadCaptureState& state) : state_(state) { state_.InNotify = true; }
  ~TInNotifyScope() { state_.InNotify = false; }
  TInNotifyScope(const TInNotifyScope&) = delete;
  TInNotifyScope& operator=(const TInNotifyScope&) = delete;

 private:
  TThreadCaptureState& state_;
};

bool NotifyInHandlerThread(const TVexlorExceptionObject& object, std::uintptr_t address,
                           bool isCallReturn, const TExceptNotifyParams& params) {
  const auto thread = std::make_shared<TExceptionThread>(object, address, isCallReturn, params);
  if (!thread->Start()) {
    // No thread to be had (resources exhausted): the report is made here
    // rather than lost.
    return InternalExceptNotify(object, address, isCallReturn, params);
  }
  const bool mainThread = IsMainThread();
  do {
    if (mainThread) PumpPaintMessages();
    RunPostedCallback();
    Sleep(10);
  } while (thread->Running && !thread->Ended());
  thread->WaitFor();
  thread->Close();
  if (thread->Running) {
    // The report was cut off: the internal error names the step it reached.
    try {
      throw Exception("The report's handler thread ended at a fault.");
    } catch (...) {
      ReportInternalError("InternalExceptNotify." + std::to_string(PipelineState().Stage.load()));
    }
  }
  return thread->Outcome;
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
                  std::uintptr_t stackTop, std::uintptr_t stackPointer, const CONTEXT* context) {
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
