// The common road of every intercepted exception, and the framework handlers'
// way into the pipeline.
#include <windows.h>

#include "reporter/capture/GoNotify.h"
#include "reporter/config/Trace.h"
#include "reporter/interception/CaptureStateWin.h"
#include "reporter/interception/ExceptionHandled.h"
#include "reporter/pipeline/ExceptNotifyWin.h"
#include "runtime/Exceptions.h"

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
      if (!isCallReturn) {
        state.FirstChanceAddress = address;
        state.FirstChanceResult = result;
      }
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
    // Kept in the thread's capture state rather than a thread_local, whose
    // first use in a thread takes the threads library's lock.
    if (fault && state.FirstChanceAddress != 0 &&
        reinterpret_cast<std::uintptr_t>(fault->ExceptionAddress()) == state.FirstChanceAddress) {
      result = state.FirstChanceResult;
      state.FirstChanceAddress = 0;
      state.FirstChanceResult = true;
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
