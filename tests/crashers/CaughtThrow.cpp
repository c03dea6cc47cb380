// An exception the program catches itself: no report, the program goes on.
// expect: exit=0
// expect: reports=0
// expect: output=handled: disk full
#include <cstdio>

#include "runtime/Exceptions.h"

__attribute__((noinline)) void Save() {
  throw EWriteError("disk full");
}

int main() {
  try {
    Save();
  } catch (const EStreamError& e) {
    std::printf("handled: %s\n", e.what());
  }
  return 0;
}
