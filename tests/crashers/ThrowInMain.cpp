// An exception that nothing catches, raised in a function called by main.
// expect: exit=1
// expect: reports=1
// expect: type=EConvertError
// expect: message='seven' is not a valid number.
// expect: stack=ThrowInMain.cpp||ParseNumber|@raise
// expect: stack=ThrowInMain.cpp||main|@call
#include <cstdio>
#include <string>

#include "runtime/Exceptions.h"

__attribute__((noinline)) int ParseNumber(const std::string& text) {
  if (text.empty() || text[0] < '0' || text[0] > '9') {
    throw EConvertError("'" + text + "' is not a valid number");  // mark: raise
  }
  return text[0] - '0';
}

int main() {
  const std::string input = "seven";
  std::printf("%d\n", ParseNumber(input));  // mark: call
  return 0;
}
