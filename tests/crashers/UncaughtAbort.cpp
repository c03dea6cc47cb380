// The class library's silent exception escaping main: never reported, but
// the program still ends with exit code 1 as for any uncaught exception.
// expect: exit=1
// expect: reports=0
// expect: absent=after the abort
#include <cstdio>

#include "runtime/Exceptions.h"

__attribute__((noinline)) void CancelLoading() {
  throw EAbort("Operation aborted");
}

int main() {
  std::printf("loading\n");
  CancelLoading();
  std::printf("after the abort\n");
  return 0;
}
