// A fault in a handler registered with atexit: it runs inside exit, with the
// C runtime's exit lock held. Reported once, then the process ends, with the
// reporter's trace on as well.
// expect: exit=1
// expect: reports=1
// expect: type=EAccessViolation
// expect: stack=AtexitFault.cpp||FlushStatistics|@fault
// expect: output=main returns
// expect: rerun=DEBUG
#include <cstdio>
#include <cstdlib>

int* volatile statistics = nullptr;

void FlushStatistics() {
  *statistics += 1;  // mark: fault
}

int main() {
  std::atexit(&FlushStatistics);
  std::printf("main returns\n");
  std::fflush(stdout);
  return 0;
}
