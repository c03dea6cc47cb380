// An exception whose class is in the exception filter: its message is shown
// in a message box instead of a report.
// expect: exit=1
// expect: reports=0
// expect: dismiss=Information
#include "runtime/Exceptions.h"

__attribute__((noinline)) void OpenPlaylist() {
  throw EConvertError("The playlist is empty");
}

int main() {
  OpenPlaylist();
  return 0;
}
