// The trace's view of a Linux host, where only the portable core and its
// tests run: no loaded Windows modules, no debugger channel.
#include <sys/syscall.h>
#include <sys/utsname.h>
#include <unistd.h>

#include <fstream>
#include <iterator>

#include "reporter/config/TracePlatform.h"

namespace {

class TNoModulesInspector : public TAddressInspector {
 public:
  std::string ModuleFileName(const void*) const override { return {}; }
  bool ReadBytes(const void*, void*, std::size_t) const override { return false; }
};

std::vector<std::string> ProcessArguments() {
  std::ifstream file("/proc/self/cmdline", std::ios::binary);
  std::string all((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
  std::vector<std::string> arguments;
  std::size_t start = 0;
  while (start < all.size()) {
    std::size_t end = all.find('\0', start);
    if (end == std::string::npos) end = all.size();
    arguments.push_back(all.substr(start, end - start));
    start = end + 1;
  }
  return arguments;
}

}  // namespace

std::string PlatformExecutablePath() {
  char buffer[4096];
  ssize_t length = readlink("/proc/self/exe", buffer, sizeof buffer - 1);
  return length > 0 ? std::string(buffer, static_cast<std::size_t>(length)) : std::string();
}

std::vector<std::string> PlatformCommandLineParameters() {
  std::vector<std::string> arguments = ProcessArguments();
  if (!arguments.empty()) arguments.erase(arguments.begin());
  return arguments;
}

std::string PlatformSystemVersionText() {
  utsname name{};
  if (uname(&name) != 0) return "Unknown system";
  return std::string(name.sysname) + " " + name.release;
}

std::uint32_t PlatformCurrentThreadId() {
  return static_cast<std::uint32_t>(syscall(SYS_gettid));
}

bool PlatformIsMainThread() {
  return syscall(SYS_gettid) == getpid();
}

void PlatformDebuggerOutput(const std::string&) {}

const TAddressInspector& PlatformAddressInspector() {
  static const TNoModulesInspector inspector;
  return inspector;
}
