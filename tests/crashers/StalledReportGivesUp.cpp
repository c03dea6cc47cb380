// A report that stops making progress (its log step never returns) is given
// up after the bound: the process ends with the exception's code (an access
// violation: 0xC0000005, of which Wine passes the low byte) instead of hanging.
// expect: exit=5
// expect: reports=1
// expect: type=EAccessViolation
// expect: absent=log step returned
#include <cstdio>

#include "tests/crashers/StalledReport.h"

TStalledLogFile stalled(INFINITE, false);

int main() {
  SetReportProgressBound(1000);
  SetLogFileStage(&stalled);
  int* volatile settings = nullptr;
  std::printf("%d\n", *settings);
  return 0;
}
