// The same program run under the development host's name: the reporter
// installs nothing there, so an uncaught exception ends the program as the
// C++ runtime ends it (message and exit code 3), unreported.
// expect: exe=VexlorIDE.exe
// expect: exit=3
// expect: reports=0
// expect: absent=main goes on
#include <cstdio>
#include <stdexcept>

__attribute__((noinline)) void LoadLayout() {
  throw std::runtime_error("layout file missing");
}

int main() {
  LoadLayout();
  std::printf("main goes on\n");
  return 0;
}
