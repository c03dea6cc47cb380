// A second exception raised inside the catch block of a first one: the
// first is handled, the second escapes and is the one reported.
// expect: exit=1
// expect: reports=1
// expect: type=EWriteError
// expect: message=Cannot write the fallback file.
// expect: stack=NestedThrow.cpp||SaveWithFallback|@second
#include "runtime/Exceptions.h"

__attribute__((noinline)) void SavePrimary() {
  throw EWriteError("Cannot write the file");
}

__attribute__((noinline)) void SaveWithFallback() {
  try {
    SavePrimary();
  } catch (const EWriteError&) {
    throw EWriteError("Cannot write the fallback file");  // mark: second
  }
}

int main() {
  SaveWithFallback();
  return 0;
}
