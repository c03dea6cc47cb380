// An exception escaping a class-library thread's Execute: the thread
// procedure catches it, yet it is reported.
// expect: exit=0
// expect: reports=1
// expect: type=EReadError
// expect: message=Frame 12 is truncated.
// expect: stack=ThreadExecuteThrow.cpp||ReadFrame|@raise
// expect: output=thread ended
#include <cstdio>
#include <string>

#include "runtime/Exceptions.h"
#include "runtime/Thread.h"

__attribute__((noinline)) void ReadFrame(int index) {
  throw EReadError("Frame " + std::to_string(index) + " is truncated");  // mark: raise
}

class TReaderThread : public TThread {
 public:
  // Started once the whole object exists: a thread started from the base
  // constructor could reach Execute before this class's part is built.
  TReaderThread() : TThread(true) { Start(); }

 protected:
  void Execute() override { ReadFrame(12); }
};

int main() {
  TReaderThread thread;
  thread.WaitFor();
  std::printf("thread ended\n");
  return 0;
}
