// vexlor COMMAND ...: dispatches to the command groups of the host tool.
#include "tools/vexlor/Commands.h"

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

struct CommandGroup {
  const char* name;
  const char* summary;
  int (*run)(const std::vector<std::string>& args);
};

const CommandGroup kGroups[] = {
    {"options", "options defaults | dump FILE [--stream-version N] | write INI OUT",
     RunOptionsCommand},
    {"attach", "attach EXE [--options INI] [--resource OUT] [--name FILE]", RunAttachCommand},
    {"resolve", "resolve EXE ADDRESS...", RunResolveCommand},
    {"debug", "debug dump EXE | same-code EXE1 EXE2", RunDebugCommand},
};

void PrintUsage() {
  std::fprintf(stderr, "usage: vexlor COMMAND ...\n");
  for (const CommandGroup& group : kGroups) std::fprintf(stderr, "  vexlor %s\n", group.summary);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    PrintUsage();
    return 2;
  }
  for (const CommandGroup& group : kGroups) {
    if (std::strcmp(argv[1], group.name) == 0)
      return group.run(std::vector<std::string>(argv + 2, argv + argc));
  }
  std::fprintf(stderr, "vexlor: unknown command '%s'\n", argv[1]);
  PrintUsage();
  return 2;
}
