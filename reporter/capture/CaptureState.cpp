#include "reporter/capture/CaptureState.h"

#include <mutex>

#include "reporter/config/ReporterLock.h"

namespace {

// Plain globals: constant-initialised, so valid before any constructor runs.
TLastException lastException;
// A holder that ended halfway through a copy leaves a record that may pair one
// exception's object with another's address: it is forgotten.
TVexlorLock lastExceptionLock{[](void*) { lastException = {}; }};
TReporterFlags flags;
std::atomic<DWORD> mainThreadID{0};
std::atomic<std::uintptr_t> mainThreadStackBase{0};

}  // namespace

TThreadCaptureState& ThreadCaptureState() {
  thread_local TThreadCaptureState state;
  return state;
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
  // NT_TIB.StackBase of the calling thread (gs:[8] on x64).
  std::uintptr_t base = 0;
  asm volatile("movq %%gs:0x08, %0" : "=r"(base));
  return base;
}
