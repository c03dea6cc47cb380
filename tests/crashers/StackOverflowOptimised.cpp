// Unbounded recursion built at -O2: the stack overflow's report stays short,
// the repeated rows printed once with their count; with the reporter's trace
// on, the overflowed stack writes no trace line.
// expect: exit=1
// expect: reports=1
// expect: type=EStackOverflow
// expect: stack=StackOverflowOptimised.cpp||Descend|@recurse
// expect: stack=StackOverflowOptimised.cpp||main|@main
// expect: collapsed
// expect: absent=climbed back
// expect: rerun=DEBUG
#include <cstdio>

volatile int depthLimit = 1 << 30;

__attribute__((noinline)) int Descend(int depth) {
  volatile char frame[64];
  frame[0] = static_cast<char>(depth);
  if (depth >= depthLimit) return frame[0];
  return Descend(depth + 1) + frame[0];  // mark: recurse
}

int main() {
  std::printf("climbed back %d\n", Descend(0));  // mark: main
  return 0;
}
