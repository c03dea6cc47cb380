// A read through a null pointer.
// expect: exit=1
// expect: reports=1
// expect: type=EAccessViolation
// expect: message=Access violation at address * in module 'crasher_Access*'. Read of address 0*0.
// expect: stack=AccessViolation.cpp||ReadSetting|@fault
#include <cstdio>

struct TSettings {
  int Monitor;
};

__attribute__((noinline)) int ReadSetting(const TSettings* settings) {
  return settings->Monitor;  // mark: fault
}

int main() {
  const TSettings* volatile settings = nullptr;
  std::printf("%d\n", ReadSetting(settings));
  return 0;
}
