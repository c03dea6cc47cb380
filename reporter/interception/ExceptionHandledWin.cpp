// The handled test on Windows: the raising thread's frames analysed from the
// recorded context, the main thread and other threads counted apart.
#include <cstring>
#include <exception>

#include <cxxabi.h>

#include "reporter/config/Trace.h"
#include "reporter/debugdata/ForeignMemory.h"
#include "reporter/interception/CaptureStateWin.h"
#include "reporter/interception/ExceptionHandled.h"
#include "reporter/interception/FrameWalkWin.h"

bool IsValidExceptionObject(const TVexlorExceptionObject& object) {
  if (!object.Object || !object.Type) return false;
  const char* name = nullptr;
  char first = 0;
  // type_info holds its vtable pointer, then the name pointer.
  const void* const* fields = reinterpret_cast<const void* const*>(object.Type);
  return ReadForeign(fields + 1, name) && ReadForeign(name, first);
}

TVexlorExceptionObject CurrentCppException() {
  std::exception_ptr current = std::current_exception();
  if (!current) return {};
  // The runtime's exception_ptr is the thrown object's address.
  static_assert(sizeof(std::exception_ptr) == sizeof(void*));
  void* object = nullptr;
  std::memcpy(&object, &current, sizeof(object));
  return {object, abi::__cxa_current_exception_type()};
}

bool IsExceptionHandled(const TVexlorExceptionObject& object, std::uintptr_t address,
                        bool isCallReturn, bool forceHandled) {
  TraceEnter("IsExceptionHandled", {object.Object, reinterpret_cast<void*>(address), forceHandled});
  TThreadCaptureState& state = ThreadCaptureState();
  bool handled = false;
  if (HasRaiseContext(state)) {
    CONTEXT start = state.RaiseContext;
    // A raising call is walked from its return address: the frame it
    // belongs to is the caller's.
    if (isCallReturn) start.Rip = address;
    TReporterFlags& flags = ReporterFlags();
    // The first catcher settles the answer. Static objects are built and
    // destroyed with no catcher of the C++ runtime around them, so a single
    // catcher in those phases is the program's own and handles the exception.
    const TFrameAnalysis frames = AnalyseFrames(start, !isCallReturn, !isCallReturn, object, 1);
    if (frames.GuardedByForeignCode) {
      TraceExit("IsExceptionHandled", {true});
      return true;
    }
    if (frames.FirstIsThreadWrapper) {
      // The thread procedure's own catch-all would swallow it: report now.
      TraceExit("IsExceptionHandled", {false});
      return false;
    }
    // The thread wrappers catch everything that escapes a thread; only the
    // application's own catchers make an exception handled there.
    const int ownCatchers = frames.Count - (frames.WrapperCounted ? 1 : 0);
    handled = IsMainThread() ? frames.Count > 0 : ownCatchers > 0;
    // Both reporters see every operating-system exception of the process:
    // the main executable's reports, so one fault is never reported twice.
    if (flags.MainExecutableCarriesReporter) handled = true;
    if (forceHandled) handled = true;
    if (frames.FirstKind == TCatcherKind::SafeCall) {
      handled = false;
      flags.SafeCallPending = true;
    }
  }
  TraceExit("IsExceptionHandled", {handled});
  return handled;
}
