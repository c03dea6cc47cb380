// A program linked with the reporter but without its data attached: the
// reporter installs nothing, and an uncaught exception ends the program as
// the C++ runtime ends it (exit code 3), unreported.
// expect: exit=3
// expect: reports=0
// expect: absent=main goes on
#include <cstdio>
#include <stdexcept>

__attribute__((noinline)) void OpenPlaylist() {
  throw std::runtime_error("playlist not found");
}

int main() {
  OpenPlaylist();
  std::printf("main goes on\n");
  return 0;
}
