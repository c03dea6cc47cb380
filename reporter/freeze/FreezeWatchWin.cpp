// One watcher at a time. Start and stop may come from any thread that
// changes the options, also from the watcher itself (an application handler
// running for a freeze report); the control's lock orders them.
#include "reporter/freeze/FreezeWatchWin.h"

#include <atomic>
#include <mutex>

#include "reporter/config/FreezeWatchControl.h"
#include "reporter/config/ModuleOptions.h"
#include "reporter/config/ModuleOptionsEx.h"
#include "reporter/config/ReporterLock.h"
#include "reporter/config/Trace.h"
#include "reporter/freeze/FreezeThreadWin.h"
#include "reporter/freeze/MainThreadSnapshotWin.h"
#include "reporter/pipeline/ReporterStateWin.h"

namespace {

// How long a library waits for its watcher to park before it ends the thread
// wherever it stands, and then for the end itself.
constexpr DWORD kParkWaitMs = 2000;
constexpr DWORD kKillWaitMs = 2000;

class TFreezeWatch final : public TFreezeWatchControl {
 public:
  void Start() override {
    if (InDesignEnvironment()) return;
    std::lock_guard guard(lock_);
    if (thread_) return;
    const TVexlorModuleOptions* options = CurrentVexlorLogOptionsOrNull();
    if (!options || !options->Active() || !options->FreezeActivate()) return;
    TraceEnter("FreezeWatchStart");
    PrepareMainThreadSnapshot();
    auto* thread = new TFreezeThread({options->FreezeTimeout(), options->FreezeMessage()});
    thread->FreeOnTerminate = false;
    thread->ParkWhenStopped(ReporterModuleIsLibrary());
    thread_ = thread;
    thread->Start();
    TraceExit("FreezeWatchStart");
  }

  void Stop() override {
    if (InDesignEnvironment()) return;
    TFreezeThread* thread = nullptr;
    {
      // Not held while the watcher ends: a report it is making may run an
      // application handler that switches the options again.
      std::lock_guard guard(lock_);
      thread = thread_;
      thread_ = nullptr;
    }
    if (!thread) return;
    TraceEnter("FreezeWatchStop");
    if (thread->ThreadID() == GetCurrentThreadId()) {
      // Stopped from its own report: it ends when the report returns to it,
      // and frees itself.
      thread->ParkWhenStopped(false);
      thread->FreeOnTerminate = true;
      thread->RequestStop();
    } else {
      thread->RequestStop();
      if (ReporterModuleIsLibrary()) Kill(*thread);
      delete thread;
    }
    TraceExit("FreezeWatchStop");
  }

  bool Running() {
    std::lock_guard guard(lock_);
    return thread_ != nullptr;
  }
  std::uint64_t Probes() {
    std::lock_guard guard(lock_);
    return thread_ ? thread_->ProbeCount() : 0;
  }

 private:
  // A library being unloaded cannot wait for a thread to end (the ending
  // thread needs the loader's lock, which the unloading thread holds), and
  // the thread must be gone before the library's code is. The watcher parks
  // where it holds nothing, then it is ended there.
  static void Kill(TFreezeThread& thread) {
    // At the end of the process the system has ended it already.
    if (!thread.Handle() || WaitForSingleObject(thread.Handle(), 0) != WAIT_TIMEOUT) return;
    if (thread.ParkedEvent()) {
      const HANDLE either[] = {thread.ParkedEvent(), thread.Handle()};
      WaitForMultipleObjects(2, either, FALSE, kParkWaitMs);
    }
    TerminateThread(thread.Handle(), 1);
    WaitForSingleObject(thread.Handle(), kKillWaitMs);
  }

  TVexlorLock lock_;
  TFreezeThread* thread_ = nullptr;
};

// Never destroyed: the control serves until the process ends, and a static
// destructor would need a registration at a moment nobody chooses.
std::atomic<TFreezeWatch*> watch{nullptr};

TFreezeWatch& Watch() {
  TFreezeWatch* current = watch.load();
  if (!current) {
    auto* created = new TFreezeWatch;
    if (watch.compare_exchange_strong(current, created)) {
      current = created;
    } else {
      delete created;
    }
  }
  return *current;
}

}  // namespace

void InstallFreezeWatch() {
  SetFreezeWatchControl(&Watch());
}

bool FreezeWatchRunning() {
  return Watch().Running();
}

std::uint64_t FreezeWatchProbeCount() {
  return Watch().Probes();
}
