// The user chose Terminate after a report of an exception the thread
// procedure would have survived: the process ends there with exit code 1.
// expect: exit=1
// expect: reports=1
// expect: type=EReadError
// expect: message=Frame 3 is truncated.
// expect: stack=TerminateAfterReport.cpp||ReadFrame|@raise
// expect: absent=thread ended
#include <cstdio>
#include <string>

#include "runtime/Exceptions.h"
#include "runtime/Thread.h"
#include "tests/crashers/TerminateRequestHandler.h"

__attribute__((noinline)) void ReadFrame(int index) {
  throw EReadError("Frame " + std::to_string(index) + " is truncated");  // mark: raise
}

class TReaderThread : public TThread {
 public:
  // Started once the whole object exists: a thread started from the base
  // constructor could reach Execute before this class's part is built.
  TReaderThread() : TThread(true) { Start(); }

 protected:
  void Execute() override { ReadFrame(3); }
};

int main() {
  RequestTerminateAfterReport();
  TReaderThread thread;
  thread.WaitFor();
  std::printf("thread ended\n");
  return 0;
}
