#include <windows.h>

#include "reporter/capture/GoNotify.h"
#include "reporter/config/Trace.h"
#include "reporter/interception/CaptureStateWin.h"
#include "reporter/interception/ExceptionHandled.h"
#include "reporter/pipeline/ExceptNotifyWin.h"
#include "runtime/Exceptions.h"

namespace {

// The answer given to an operating-system exception on this thread. The
// class library turns a fault inside its window procedures into its own
// exception object, which then reaches the framework's handler: that object
// was reported at its first chance already and gets the same answer.
struct TFirstChance {
  std::uintptr_t Address = 0;
  bool Result = true;
};
thread_local TFirstChance firstChance;

}  // namespace

void GoNotify(const TVexlorExceptionObject& object, std::uintptr_t address, bool isCallReturn,
              bool forceHandled) {
  TraceEnter("GoNotify",
             {object.Object, reinterpret_cast<void*>(address), isCallReturn, forceHandled});
  const DWORD lastError = GetLastError();
  try {
    SetLastException({object, address, isCallReturn});
    if (!IsAbortException(object) &&
        !IsExceptionHandled(object, address, isCallReturn, forceHandled)) {
      TThreadCaptureState& state = ThreadCaptureState();
      if (state.StackStart == 0) state.StackStart = state.RaiseStackPointer;
      const bool result = ExceptNotify(object, address, isCallReturn, 0, 0, nullptr);
      if (!isCallReturn) firstChance = {address, result};
    }
  } catch (...) {
    // The hooks sit on the application's own raise path: nothing of the
    // reporter may escape into it.
  }
  SetLastError(lastError);
  TraceExit("GoNotify");
}

bool ExceptionManager() {
  TraceEnter("ExceptionManager");
  bool result = true;
  try {
    TLastException last = GetLastException();
    const TVexlorExceptionObject current = CurrentCppException();
    TThreadCaptureState& state = ThreadCaptureState();
    const EExternal* fault =
        IsValidExceptionObject(current) ? ExceptionObjectAs<EExternal>(current) : nullptr;
    if (fault && firstChance.Address != 0 &&
        reinterpret_cast<std::uintptr_t>(fault->ExceptionAddress()) == firstChance.Address) {
      result = firstChance.Result;
      firstChance = {};
      TraceExit("ExceptionManager", {result});
      return result;
    }
    // The exception being handled here decides (a silent one stays silent);
    // the recorded one only stands in when the runtime knows none.
    if (IsValidExceptionObject(current) && !(last.Object.Object == current.Object)) {
      const bool known = current.Object == state.LastThrownObject;
      last = {current, known ? state.LastThrowAddress : 0, known};
      SetLastException(last);
    }
    if (IsValidExceptionObject(last.Object) && !IsAbortException(last.Object)) {
      // Frames below the caller's were unwound on the way to the framework's
      // handler and are overwritten by now: the scan starts at the caller.
      const auto callerStack = reinterpret_cast<std::uintptr_t>(__builtin_frame_address(0)) + 16;
      if (state.StackStart == 0 || state.StackStart < callerStack) state.StackStart = callerStack;
      result = ExceptNotify(last.Object, last.Address, last.IsCallReturn, 0, 0, nullptr);
    }
  } catch (...) {
  }
  TraceExit("ExceptionManager", {result});
  return result;
}
