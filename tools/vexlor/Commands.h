// Entry points of the command groups of the host tool. Each returns the
// process exit status: 0 success, 1 bad input (message on stderr), 2 usage.
#pragma once

#include <string>
#include <vector>

int RunOptionsCommand(const std::vector<std::string>& args);
int RunAttachCommand(const std::vector<std::string>& args);
int RunResolveCommand(const std::vector<std::string>& args);
int RunDebugCommand(const std::vector<std::string>& args);
