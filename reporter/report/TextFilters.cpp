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

bool IsPathDelimiter(char c) {
  return c == '\\' || c == '/';
}

// Length of the folder part including its trailing delimiter (or drive colon).
std::size_t FolderLength(std::string_view path) {
  const std::size_t last = path.find_last_of("\\/:");
  return last == std::string_view::npos ? 0 : last + 1;
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

std::string ExtractFileDir(std::string_view path) {
  std::string_view folder = path.substr(0, FolderLength(path));
  // A delimiter that follows a drive colon or another delimiter is the root
  // ("C:\", "\"), which only makes sense with its backslash.
  if (folder.size() > 1 && IsPathDelimiter(folder.back()) && folder[folder.size() - 2] != ':' &&
      !IsPathDelimiter(folder[folder.size() - 2])) {
    folder.remove_suffix(1);
  }
  return std::string(folder);
}

std::string ExtractFileDrive(std::string_view path) {
  if (path.size() >= 2 && path[1] == ':') return std::string(path.substr(0, 2));
  if (path.size() >= 2 && IsPathDelimiter(path[0]) && IsPathDelimiter(path[1])) {
    // "\\server\share": up to the delimiter after the share name.
    std::size_t delimiters = 0;
    std::size_t i = 2;
    for (; i < path.size(); ++i) {
      if (IsPathDelimiter(path[i]) && ++delimiters == 2) break;
    }
    return std::string(path.substr(0, i));
  }
  return {};
}

std::string Trim(std::string_view text) {
  std::size_t begin = 0;
  std::size_t end = text.size();
  while (begin < end && static_cast<unsigned char>(text[begin]) <= ' ') ++begin;
  while (end > begin && static_cast<unsigned char>(text[end - 1]) <= ' ') --end;
  return std::string(text.substr(begin, end - begin));
}
