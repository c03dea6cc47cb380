// The watcher thread on Windows: the probe loop with SendMessageTimeout, waits
// on the stop event, and the report made from a snapshot of the main thread.
#include "reporter/freeze/FreezeThreadWin.h"

#include <chrono>
#include <typeinfo>

#include "reporter/config/Trace.h"
#include "reporter/debugdata/DebugLookup.h"
#include "reporter/freeze/FreezeProbe.h"
#include "reporter/freeze/FreezeWindowWin.h"
#include "reporter/freeze/FrozenApplication.h"
#include "reporter/freeze/MainThreadSnapshotWin.h"
#include "reporter/interception/CaptureStateWin.h"
#include "reporter/pipeline/ExceptNotifyWin.h"
#include "reporter/pipeline/ReporterStateWin.h"

namespace {

std::uint64_t NowMs() {
  return static_cast<std::uint64_t>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                        std::chrono::steady_clock::now().time_since_epoch())
                                        .count());
}

}  // namespace

TFreezeThread::TFreezeThread(TFreezeSettings settings)
    : TThread(true),
      settings_(std::move(settings)),
      stop_(CreateEventA(nullptr, TRUE, FALSE, nullptr)),
      parked_(CreateEventA(nullptr, TRUE, FALSE, nullptr)) {}

TFreezeThread::~TFreezeThread() {
  // Waited for here, not in the base class: the thread reads this object's
  // members until it ends. A thread never started runs only to its end.
  RequestStop();
  Start();
  if (Handle() && !Finished()) WaitForSingleObject(Handle(), INFINITE);
  if (stop_) CloseHandle(stop_);
  if (parked_) CloseHandle(parked_);
}

void TFreezeThread::RequestStop() {
  Terminate();
  if (stop_) SetEvent(stop_);
}

bool TFreezeThread::Rest(DWORD ms) {
  if (Stopping()) return false;
  if (stop_) return WaitForSingleObject(stop_, ms) == WAIT_TIMEOUT && !Stopping();
  Sleep(ms);
  return !Stopping();
}

void TFreezeThread::Execute() {
  TraceEnter("TFreezeThread.Execute", {settings_.TimeoutSeconds});
  // A freeze report names the main thread's stack alone: the stack of
  // whoever started the watcher has no place in it.
  RemoveCurrentThreadInfo();
  if (HWND window = SearchWindow()) WatchWindow(window);
  TraceExit("TFreezeThread.Execute");
  if (park_) {
    // Ended from outside (a library being unloaded cannot wait for a thread
    // to end): here the watcher holds no lock and runs no code of the
    // library any more that could be cut off halfway.
    SetEvent(parked_);
    for (;;) Sleep(INFINITE);
  }
}

HWND TFreezeThread::SearchWindow() {
  const DWORD mainThread = MainThreadID();
  for (;;) {
    if (HWND window = FindFreezeWindow(mainThread)) {
      window_ = window;
      char className[64] = {};
      GetClassNameA(window, className, sizeof className);
      Trace("TFreezeThread.Window", {static_cast<void*>(window), std::string_view(className)});
      return window;
    }
    if (!Rest(kRestMs)) return nullptr;
  }
}

void TFreezeThread::WatchWindow(HWND window) {
  TFreezeProbe probe(settings_.TimeoutSeconds);
  while (!Stopping()) {
    const std::uint64_t start = NowMs();
    DWORD_PTR result = 0;
    ++probes_;
    const bool sent =
        SendMessageTimeoutA(window, WM_NULL, 0, 0, SMTO_BLOCK, kProbeWaitMs, &result) != 0;
    // A window that is gone answers for ever: no freeze is reported for it.
    const bool answered = sent || !IsWindow(window);
    std::uint64_t elapsed = NowMs() - start;
    if (!answered && elapsed < kProbeWaitMs) {
      // A send that failed at once must not count faster than time passes.
      if (!Rest(static_cast<DWORD>(kProbeWaitMs - elapsed))) return;
      elapsed = kProbeWaitMs;
    }
    switch (probe.Probed(answered, elapsed)) {
      case TFreezeStep::ProbeAgain:
        break;
      case TFreezeStep::Rest:
        // One wait on the stop event instead of five 50 ms sleeps: as quick
        // to stop, a fifth of the wake-ups.
        if (!Rest(kRestMs * kRestRounds)) return;
        break;
      case TFreezeStep::Report:
        if (!Stopping()) ReportFreeze();
        break;
    }
  }
}

void TFreezeThread::ReportFreeze() {
  TraceEnter("TFreezeThread.ReportFreeze");
  TMainThreadSnapshot snapshot;
  if (!snapshot.Take(MainThreadHandle(), MainThreadStackBase())) {
    TraceExit("TFreezeThread.ReportFreeze", {false});
    return;
  }
  EFrozenApplication frozen(settings_.Message);
  const TVexlorExceptionObject object{&frozen, &typeid(EFrozenApplication)};
  const CONTEXT& context = snapshot.Context();
  std::uintptr_t stackPointer = snapshot.CopyStart();
  std::uintptr_t stackTop = stackPointer + snapshot.CopySize() - 1;
  std::uintptr_t origin = context.Rsp;
  if (snapshot.CopySize() == 0) {
    // Nothing copied (the stack pointer was off the thread's stack): an
    // empty range that ends at the stack pointer, not 0, which would mean
    // this thread's own stack.
    stackTop = origin;
    stackPointer = origin + 8;
    origin = 0;
  }
  ExceptNotify(object, static_cast<std::uintptr_t>(context.Rip), false, stackTop, stackPointer,
               &context, origin);
  TraceExit("TFreezeThread.ReportFreeze", {true});
}
