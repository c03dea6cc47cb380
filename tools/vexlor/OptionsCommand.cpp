// vexlor options ...: edits reporter options as INI text.
#include "tools/vexlor/Commands.h"

#include <cstdio>

int RunOptionsCommand(const std::vector<std::string>& args) {
  (void)args;
  std::fprintf(stderr, "vexlor options: not available in this build\n");
  return 2;
}
