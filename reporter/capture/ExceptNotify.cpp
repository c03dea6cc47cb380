// One report at a time: the raising thread holds the notify lock while a
// handler thread builds the report, and meanwhile keeps painting (main thread)
// and runs the procedures posted to it.
#include "reporter/capture/ExceptNotify.h"

#include <algorithm>
#include <cctype>
#include <mutex>

#include "reporter/capture/CaptureState.h"
#include "reporter/capture/ExceptionRecord.h"
#include "reporter/capture/InitOrder.h"
#include "reporter/capture/ReporterStartup.h"
#include "reporter/capture/SafeCallMark.h"
#include "reporter/config/ModuleOptionsEx.h"
#include "reporter/config/Trace.h"

namespace {

std::recursive_mutex notifyLock;
std::mutex callbackLock;
std::function<void()>* callbackSlot = nullptr;  // guarded by callbackLock
TPipelineState pipelineState;
TVexlorExceptionRecord recordInstance;
std::atomic<TVexlorExceptionRecord*> currentRecord{nullptr};

// Messages a waiting main thread still dispatches: painting and the like.
constexpr UINT kPaintMessages[] = {0x000B, 0x000F, 0x0014, 0x0026, 0x0027, 0x007E,
                                   0x0085, 0x0317, 0x0318, 0x8002, 0x8003};

void PumpPaintMessages() {
  MSG message;
  for (int i = 0; i < 11 && PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE); ++i) {
    if (std::find(std::begin(kPaintMessages), std::end(kPaintMessages), message.message) !=
        std::end(kPaintMessages)) {
      DispatchMessageA(&message);
    } else if (message.message == WM_CHAR || message.message == WM_LBUTTONDOWN ||
               message.message == WM_RBUTTONDOWN || message.message == WM_MBUTTONDOWN) {
      MessageBeep(MB_OK);
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
class TExceptionThread {
 public:
  TExceptionThread(const TVexlorExceptionObject& object, std::uintptr_t address, bool isCallReturn,
                   const TExceptNotifyParams& params)
      : object_(object), address_(address), isCallReturn_(isCallReturn), params_(params) {
    TThreadCaptureState& raising = ThreadCaptureState();
    if (!params_.Context) params_.Context = &raising.RaiseContext;
    if (params_.StackTop == 0) params_.StackTop = CurrentStackBase();
    if (params_.StackPointer == 0) params_.StackPointer = raising.StackStart;
  }
  ~TExceptionThread() {
    if (handle_) CloseHandle(handle_);
  }
  TExceptionThread(const TExceptionThread&) = delete;
  TExceptionThread& operator=(const TExceptionThread&) = delete;

  bool Start() {
    Running = 1;
    handle_ = CreateThread(nullptr, 0, &ThreadProc, this, 0, nullptr);
    if (!handle_) Running = 0;
    return handle_ != nullptr;
  }
  void WaitFor() const {
    if (handle_) WaitForSingleObject(handle_, INFINITE);
  }

  std::atomic<int> Running{0};
  bool Outcome = false;

 private:
  static DWORD WINAPI ThreadProc(LPVOID self) {
    auto* thread = static_cast<TExceptionThread*>(self);
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
  TExceptionThread thread(object, address, isCallReturn, params);
  if (!thread.Start()) return true;
  const bool mainThread = IsMainThread();
  do {
    if (mainThread) PumpPaintMessages();
    RunPostedCallback();
    Sleep(10);
  } while (thread.Running);
  thread.WaitFor();
  return thread.Outcome;
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

std::string MaskedFocusedText(const std::string& className, const std::string& text,
                              bool passwordStyle) {
  std::string upper = className;
  for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  if (passwordStyle && upper.find("EDIT") != std::string::npos) {
    return std::string(text.size(), '*');
  }
  return text;
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
  const bool password = (GetWindowLongA(focus, GWL_STYLE) & ES_PASSWORD) != 0;
  params.FocusedClassName = className;
  params.FocusedText = MaskedFocusedText(className, text, password);
}

bool ExceptNotify(const TVexlorExceptionObject& object, std::uintptr_t address, bool isCallReturn,
                  std::uintptr_t stackTop, std::uintptr_t stackPointer, const CONTEXT* context) {
  std::lock_guard guard(notifyLock);
  TThreadCaptureState& state = ThreadCaptureState();
  if (state.InNotify) return true;
  TInNotifyScope scope(state);
  TraceEnter("ExceptNotify", {object.Object, reinterpret_cast<void*>(address), isCallReturn});

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
      TExceptNotifyParams direct = params;
      if (!direct.Context) direct.Context = &state.RaiseContext;
      result = InternalExceptNotify(object, address, isCallReturn, direct);
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
    {
      std::lock_guard guard(callbackLock);
      callbackSlot = &posted;
    }
    for (;;) {
      {
        std::lock_guard guard(callbackLock);
        if (!callbackSlot) break;
      }
      Sleep(10);
    }
  } else {
    try {
      procedure();
    } catch (...) {
    }
  }
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
