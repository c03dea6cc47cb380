// A step that waits for a person (a dialog left open) longer than the bound
// is not cut off: the report is finished and the program ends as after any
// unhandled exception.
// expect: exit=1
// expect: reports=1
// expect: type=EAccessViolation
// expect: output=log step returned
#include <cstdio>

#include "tests/crashers/StalledReport.h"

TStalledLogFile reading(3000, true);

int main() {
  SetReportProgressBound(1000);
  SetLogFileStage(&reading);
  int* volatile settings = nullptr;
  std::printf("%d\n", *settings);
  return 0;
}
