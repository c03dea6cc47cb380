// An exception in a static constructor, before main runs.
// expect: exit=1
// expect: reports=1
// expect: type=EReadError
// expect: message=The settings file is damaged.
// expect: stack=StaticInitThrow.cpp|TSettingsFile|TSettingsFile|@raise
#include <cstdio>

#include "runtime/Exceptions.h"

class TSettingsFile {
 public:
  __attribute__((noinline)) TSettingsFile() {
    throw EReadError("The settings file is damaged");  // mark: raise
  }
};

TSettingsFile settingsFile;

int main() {
  std::printf("main ran\n");
  return 0;
}
