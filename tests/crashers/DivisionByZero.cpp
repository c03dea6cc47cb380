// An integer division by zero.
// expect: exit=1
// expect: reports=1
// expect: type=EDivByZero
// expect: message=Division by zero.
// expect: stack=DivisionByZero.cpp||AverageFrameTime|@fault
#include <cstdio>

__attribute__((noinline)) int AverageFrameTime(int total, int frames) {
  return total / frames;  // mark: fault
}

int main() {
  volatile int frames = 0;
  std::printf("%d\n", AverageFrameTime(1000, frames));
  return 0;
}
