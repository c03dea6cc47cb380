// A C program that knows nothing of the reporter: it reads through a null
// pointer. Linked with the reporter, its report names the fault.
// expect: exit=1
// expect: reports=1
// expect: type=EAccessViolation
// expect: stack=MeterReading.c||ReadMeter|@read
// expect: stack=MeterReading.c||main|@main
#include <stdio.h>

struct Meter {
  int Value;
};

__attribute__((noinline)) int ReadMeter(const struct Meter* meter) {
  return meter->Value;  // mark: read
}

int main(int argc, char** argv) {
  const struct Meter* meter = argc > 5 ? (const struct Meter*)argv : NULL;
  printf("%d\n", ReadMeter(meter));  // mark: main
  return 0;
}
