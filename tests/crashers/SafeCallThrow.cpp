// An exception inside the safe-call boundary of a COM method is reported
// there, once: its re-raise from the HRESULT at the caller is not reported
// again.
// expect: exit=1
// expect: reports=1
// expect: type=EConvertError
// expect: message=Unknown play state 9.
// expect: stack=SafeCallThrow.cpp||PlayStateName|@raise
#include <string>

#include "runtime/Exceptions.h"

__attribute__((noinline)) const char* PlayStateName(int state) {
  if (state > 3) throw EConvertError("Unknown play state " + std::to_string(state));  // mark: raise
  return "playing";
}

// What a COM method of the program looks like.
__attribute__((noinline)) long GetPlayStateName(int state, const char** name) {
  return SafeCall([&] {
    *name = PlayStateName(state);
    return 0L;
  });
}

int main() {
  const char* name = nullptr;
  const long result = GetPlayStateName(9, &name);
  if (result < 0) throw EOleException("The call failed", result);
  return 0;
}
