// An illegal instruction: the faulting address is the first row, followed by
// the function's callers.
// expect: exit=1
// expect: reports=1
// expect: type=EExternalException
// expect: stack=IllegalInstruction.cpp||DecodeOpcode|@fault
// expect: stack=IllegalInstruction.cpp||main|@main
#include <cstdio>

__attribute__((noinline)) int DecodeOpcode(int opcode) {
  if (opcode > 0) asm volatile("ud2");  // mark: fault
  return opcode;
}

int main(int argc, char**) {
  std::printf("%d\n", DecodeOpcode(argc));  // mark: main
  return 0;
}
