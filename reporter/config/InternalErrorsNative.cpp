// A Linux host has no one to ask: the text goes to stderr and the answer is
// "No", so nothing is sent.
#include <cstdio>

#include "reporter/config/InternalErrors.h"

int PlatformMessageBox(const std::string& text, const std::string& caption, std::uint32_t) {
  std::fprintf(stderr, "%s: %s\n", caption.c_str(), text.c_str());
  return 7;
}
