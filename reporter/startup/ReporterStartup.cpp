// Start-up and shutdown in the order the reporter's parts depend on each
// other: flags and shared blocks first, then the module's data, then the
// hooks; the reverse at the end.
#include "reporter/startup/ReporterStartup.h"

#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <memory>

#include "reporter/capture/AppKindHandlers.h"
#include "reporter/capture/HttpExtensionHook.h"
#include "reporter/capture/RaiseHooks.h"
#include "reporter/capture/ThreadHooks.h"
#include "reporter/config/FreezeWatchControl.h"
#include "reporter/config/InitOrder.h"
#include "reporter/config/ModuleMapping.h"
#include "reporter/config/ModuleOptionsEx.h"
#include "reporter/config/Trace.h"
#include "reporter/debugdata/DebugLookup.h"
#include "reporter/delivery/DeliveryStageWin.h"
#include "reporter/dialogs/DialogStageWin.h"
#include "reporter/freeze/FreezeWatchWin.h"
#include "reporter/hooking/HooksWin.h"
#include "reporter/interception/CaptureStateWin.h"
#include "reporter/interception/FrameWalkWin.h"
#include "reporter/interception/SafeCallMark.h"
#include "reporter/logfile/LogFileStageWin.h"
#include "reporter/pipeline/ExceptNotifyWin.h"
#include "reporter/pipeline/ReporterStateWin.h"
#include "reporter/web/WebOutputWin.h"
#include "runtime/Exceptions.h"

extern "C" void __real___main();

namespace {

constexpr char kClassLibraryThreadProc[] = "Thread.TThread.ThreadProc";

bool interceptionInstalled = false;

// "0000ABCD:MainThread", or the id and the thread object's class.
std::string TraceThreadName() {
  char id[16];
  std::snprintf(id, sizeof id, "%08lX:", GetCurrentThreadId());
  if (IsMainThread()) return std::string(id) + "MainThread";
  return std::string(id) + ThreadCaptureState().ThreadClassName;
}

void EnterFinalisation() {
  ReporterFlags().UnitsFinalising = true;
}

void InstallRaiseExceptionHook() {
  const std::vector<std::string> modules = {"", "", ReporterModuleFileName()};
  void* real = nullptr;
  try {
    HookImportInModules(modules, "kernel32.dll", true, real,
                        reinterpret_cast<void*>(&HookedRaiseException), "RaiseException");
  } catch (const EHookError&) {
  }
  RealRaiseException = reinterpret_cast<TRaiseExceptionProc>(real);
}

// The pipeline's stages that each part implements; a step with none
// installed answers "not done".
void InstallReportStages() {
  InstallLogFileStage();
  InstallDialogStage();
  // Screenshot and e-mail delivery, and the mail of internal errors.
  InstallDelivery();
  InstallWebOutput();
}

// Tested on the main executable as on any module whose data is loaded: the
// "VLDATA" resource, else the marker at the end of its file.
bool MainExecutableCarriesReporter() {
  if (!ReporterModuleIsLibrary()) return false;
  const auto main = reinterpret_cast<std::uintptr_t>(GetModuleHandleA(nullptr));
  return IsVexlorLogModule_New(main) || IsVexlorLogModule_Old(main);
}

void ReporterInit() {
  // The trace's switches (command line, development host) are read on first
  // use; read them before the first line, or it is lost.
  InDesignEnvironment();
  TraceEnter("Init");
  ReporterFlags().MainExecutableCarriesReporter = MainExecutableCarriesReporter();
  ReporterFlags().Active = true;
  CreateOwnModuleOptionsMapping();
  char directory[MAX_PATH] = {};
  GetCurrentDirectoryA(MAX_PATH, directory);
  SetStartupDirectory(directory);
  ReporterFlags().UnitsInitialising = true;
  ReporterFlags().UnitsFinalising = false;
  RecordMainThread();
  ThreadCaptureState().RaiseContext.ContextFlags = 0;
  SetTraceThreadNameProc(&TraceThreadName);
  InstallReportStages();
  // Freeze detection, started with the interception when the options ask.
  InstallFreezeWatch();

  TVexlorModuleInfo* record = nullptr;
  if (!InDesignEnvironment()) {
    TModulesListLock lock;
    record = FindModuleInfo(ReporterModuleHandle());
    if (!record || !record->HasDebugData() || !record->Options) {
      // Without its debug data the reporter stays out of the program's way,
      // and keeps nothing it read to find that out.
      VexlorModulesList().Clear();
      ReporterFlags().Active = false;
      TraceExit("Init", {false});
      return;
    }
  }
  StartInterception(record ? record->Options.get() : nullptr);
  if (InDesignEnvironment()) GetModulesList();
  TraceExit("Init", {true});
}

void ReporterDone() {
  TraceEnter("Done");
  CloseOwnModuleOptionsMapping();
  if (ReporterFlags().Active) StopInterception();
  TraceExit("Done");
}

struct TReporterLifetime {
  TReporterLifetime() {
    try {
      ReporterInit();
    } catch (...) {
      ReporterFlags().Active = false;
    }
  }
  ~TReporterLifetime() {
    try {
      ReporterDone();
    } catch (...) {
    }
  }
};

TReporterLifetime lifetime VEXLOR_INIT_ORDER(kReporterInitPriority);

}  // namespace

// The C++ start-up code runs every static constructor inside this call (the
// link step wraps it); when it returns, static initialisation is over.
extern "C" void __wrap___main() {
  static bool done = false;
  __real___main();
  if (done) return;
  done = true;
  ReporterFlags().UnitsInitialising = false;
  // Registered after every static object: runs first when the program ends.
  std::atexit(&EnterFinalisation);
}

void StartInterception(TVexlorModuleOptionsEx* options) {
  TraceEnter("StartInterception");
  ReporterFlags().Active = true;
  if (MainThreadID() == 0) RecordMainThread();
  SetCurrentVexlorLogOptions(options);
  PrepareThreadCaptureState();
  // Before the thread hooks: the handler thread is the reporter's own.
  PrepareReportPath();
  ULONG guarantee = 64 * 1024;
  SetThreadStackGuarantee(&guarantee);
  OpenSafeCallMark();
  SetSafeCallBoundaryFunction(reinterpret_cast<const void*>(&SafeCallBoundary));
  // The class library's thread procedure catches what escapes Execute.
  SetClassLibraryThreadProc(
      reinterpret_cast<LPTHREAD_START_ROUTINE>(FindProcedureAddress(kClassLibraryThreadProc)));
  if (!InDesignEnvironment()) {
    InstallRaiseHandlers();
    InstallAppKindHandlers();
    InstallRaiseExceptionHook();
    InstallHttpExtensionHook(reinterpret_cast<HMODULE>(ReporterModuleHandle()));
    InstallThreadHooks(&VexlorThreadsList());
    interceptionInstalled = true;
  }
  HANDLE mainThread = nullptr;
  DuplicateHandle(GetCurrentProcess(), GetCurrentThread(), GetCurrentProcess(), &mainThread,
                  THREAD_SUSPEND_RESUME | THREAD_GET_CONTEXT, FALSE, 0);
  SetMainThreadHandle(mainThread);
  FreezeWatchStart();
  TraceExit("StartInterception");
}

void StopInterception() {
  TraceEnter("StopInterception");
  ReporterFlags().Active = false;
  FreezeWatchStop();
  EndReportPath();
  SetMainThreadHandle(nullptr);
  if (interceptionInstalled) {
    RemoveRaiseHandlers();
    RemoveHttpExtensionHook();
    RemoveThreadHooks();
    interceptionInstalled = false;
  }
  CloseSafeCallMark();
  SetCurrentVexlorLogOptions(nullptr);
  TraceExit("StopInterception");
}
