// Unbounded recursion: the stack overflow is reported (the report runs on a
// stack of its own) and the program ends.
// expect: exit=1
// expect: reports=1
// expect: type=EStackOverflow
// expect: message=Stack overflow.
// expect: stack=StackOverflow.cpp||Descend|*
// expect: absent=climbed back
#include <cstdio>

// Read at run time, so the recursion has an end the compiler cannot see.
volatile int depthLimit = 1 << 30;

__attribute__((noinline)) int Descend(int depth) {
  volatile char frame[1024];
  frame[0] = static_cast<char>(depth);
  if (depth >= depthLimit) return frame[0];
  return Descend(depth + 1) + frame[0];
}

int main() {
  std::printf("climbed back %d\n", Descend(0));
  return 0;
}
