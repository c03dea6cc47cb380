// A fault in a thread_local object's destructor while a std::thread ends: the
// dying thread holds the loader's and the threads library's locks. Reported
// once, then the process ends; so too with the reporter's trace on: the
// destructor runs while its object's storage exists, whatever the heap holds.
// expect: exit=1
// expect: reports=1
// expect: type=EAccessViolation
// expect: stack=ThreadLocalDestructorFault.cpp|TDecoderScratch|~TDecoderScratch|@fault
// expect: absent=joined
// expect: rerun=DEBUG
#include <cstdio>
#include <thread>

class TDecoderScratch {
 public:
  ~TDecoderScratch() {
    *frames_ = 0;  // mark: fault
  }
  void Use() { ++uses_; }

 private:
  int* volatile frames_ = nullptr;
  int uses_ = 0;
};

void Decode() {
  thread_local TDecoderScratch scratch;
  scratch.Use();
  std::printf("decoded\n");
  std::fflush(stdout);
}

int main() {
  std::thread decoder(&Decode);
  decoder.join();
  std::printf("joined\n");
  return 0;
}
