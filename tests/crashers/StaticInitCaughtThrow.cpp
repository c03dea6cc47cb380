// A static constructor that catches its own exception: the program handled
// it, so nothing is reported and main runs.
// expect: exit=0
// expect: reports=0
// expect: output=main ran with 25 fps
#include <cstdio>
#include <string>

#include "runtime/Exceptions.h"

__attribute__((noinline)) int ParseRate(const std::string& text) {
  if (text.empty() || text[0] < '0' || text[0] > '9') {
    throw EConvertError("'" + text + "' is not a valid number");
  }
  return std::stoi(text);
}

class TDefaultRate {
 public:
  __attribute__((noinline)) TDefaultRate() {
    try {
      Value = ParseRate("fast");
    } catch (const EConvertError&) {
      Value = 25;
    }
  }
  int Value = 0;
};

TDefaultRate defaultRate;

int main() {
  std::printf("main ran with %d fps\n", defaultRate.Value);
  return 0;
}
