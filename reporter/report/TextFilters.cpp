// Replacing control bytes, padding to a width, and trimming.
#include "reporter/report/TextFilters.h"

namespace {

std::string ReplaceBelowSpace(std::string_view text, bool keepLines) {
  std::string result(text);
  for (char& c : result) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte >= 0x20) continue;
    if (keepLines && (byte == '\r' || byte == '\n')) continue;
    c = ' ';
  }
  return result;
}

}  // namespace

std::string ReplaceControlChars(std::string_view text) {
  return ReplaceBelowSpace(text, false);
}

std::string ReplaceControlCharsKeepLines(std::string_view text) {
  return ReplaceBelowSpace(text, true);
}

std::string PadRight(std::string_view text, std::size_t width) {
  std::string result(text);
  if (width >= text.size() + 1) result.append(width - text.size(), ' ');
  return result;
}

std::string Trim(std::string_view text) {
  std::size_t begin = 0;
  std::size_t end = text.size();
  while (begin < end && static_cast<unsigned char>(text[begin]) <= ' ') ++begin;
  while (end > begin && static_cast<unsigned char>(text[end - 1]) <= ' ') --end;
  return std::string(text.substr(begin, end - begin));
}
