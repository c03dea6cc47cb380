// The capture state's storage: the thread's record in a thread slot, the last
// exception under the reporter's lock, and the main thread and stack bounds.
#include "reporter/interception/CaptureStateWin.h"

#include <mutex>

#include "reporter/config/ReporterLock.h"
#include "reporter/config/ThreadSlot.h"

namespace {

// Plain globals: constant-initialised, so valid before any constructor runs.
TLastException lastException;
// A holder that ended halfway through a copy leaves a record that may pair one
// exception's object with another's address: it is forgotten.
TVexlorLock lastExceptionLock{[](void*) { lastException = {}; }};
TReporterFlags flags;
std::atomic<DWORD> mainThreadID{0};
std::atomic<std::uintptr_t> mainThreadStackBase{0};
// A thread slot, not thread_local: a thread ending inside its thread_local
// destructors holds the threads library's locks, and may raise there.
const TVexlorThreadSlot<TThreadCaptureState> captureState;

}  // namespace

TThreadCaptureState& ThreadCaptureState() {
  return captureState.Get();
}

void PrepareThreadCaptureState() {
  captureState.Prepare();
}

void SetRaiseContext(TThreadCaptureState& state, const CONTEXT& context) {
  state.RaiseContext = context;
  state.RaiseContext.ContextFlags = CONTEXT_FULL;
}

bool HasRaiseContext(const TThreadCaptureState& state) {
  return state.RaiseContext.ContextFlags != 0;
}

TLastException GetLastException() {
  std::lock_guard guard(lastExceptionLock);
  return lastException;
}

void SetLastException(const TLastException& value) {
  std::lock_guard guard(lastExceptionLock);
  lastException = value;
}

void ClearLastException() {
  SetLastException({});
}

TReporterFlags& ReporterFlags() {
  return flags;
}

DWORD MainThreadID() {
  return mainThreadID.load();
}
bool IsMainThread() {
  return GetCurrentThreadId() == mainThreadID.load();
}
void RecordMainThread() {
  mainThreadID = GetCurrentThreadId();
  mainThreadStackBase = CurrentStackBase();
}
std::uintptr_t MainThreadStackBase() {
  return mainThreadStackBase.load();
}

std::uintptr_t CurrentStackBase() {
  if (const std::uintptr_t own = ThreadCaptureState().StackBaseOverride) return own;
  std::uintptr_t limit = 0, base = 0;
  RunningStackRange(limit, base);
  return base;
}

void RunningStackRange(std::uintptr_t& limit, std::uintptr_t& base) {
  // NT_TIB.StackLimit and StackBase (gs:[16] and gs:[8] on x64).
  asm volatile("movq %%gs:0x10, %0" : "=r"(limit));
  asm volatile("movq %%gs:0x08, %0" : "=r"(base));
}
