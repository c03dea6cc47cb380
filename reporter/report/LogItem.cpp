// The header block's line numbering and layout, with the search over a block's
// lines that the log file uses to read a value back.
#include "reporter/report/LogItem.h"

#include <algorithm>
#include <vector>

namespace {

const char* const kCrLf = "\r\n";

// Lines end at CR, LF or CR LF; a zero byte ends the text; a final line break
// does not start another line.
std::vector<std::string> SplitLines(std::string_view text) {
  std::vector<std::string> lines;
  const std::size_t zero = text.find('\0');
  if (zero != std::string_view::npos) text = text.substr(0, zero);
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find_first_of("\r\n", start);
    if (end == std::string_view::npos) end = text.size();
    lines.emplace_back(text.substr(start, end - start));
    start = end;
    if (start < text.size() && text[start] == '\r') ++start;
    if (start < text.size() && text[start] == '\n') ++start;
  }
  return lines;
}

// 1-based position of the first occurrence, 0 when absent.
std::size_t PositionOf(const std::string& line, std::string_view what) {
  const std::size_t at = line.find(what);
  return at == std::string::npos ? 0 : at + 1;
}

// A line whose first ':' stands before its last two characters is not a
// section line; the block search passes over it.
bool IsSkipped(const std::string& line) {
  return static_cast<long long>(PositionOf(line, ":")) < static_cast<long long>(line.size()) - 1;
}

}  // namespace

void TLogItem::Clear() {
  FText.clear();
  FSectionNo = 0;
  FItemNo = 0;
}

void TLogItem::AddSection(std::string_view label) {
  ++FSectionNo;
  FItemNo = 0;
  if (!FText.empty()) FText += "\r\n\r\n";
  FText.append(label);
  // The "-" is widened into the section's rule by GetText.
  FText += ":\r\n-";
}

void TLogItem::AddItem(std::string_view label, std::string_view value, bool visible) {
  ++FItemNo;
  if (!visible) return;
  FText += "\r\n  ";
  FText += std::to_string(FSectionNo);
  FText += '.';
  FText += std::to_string(FItemNo);
  FText += ' ';
  FText.append(label);
  FText += ": ";
  FText.append(value);
}

std::string TLogItem::GetText() const {
  std::vector<std::string> lines = SplitLines(FText);
  lines.emplace_back();

  std::size_t s = 0;
  for (;;) {
    std::size_t longest = 0;  // L
    std::size_t column = 1;   // P
    std::size_t start = s;
    while (start < lines.size() && IsSkipped(lines[start])) ++start;
    if (start >= lines.size()) break;
    std::size_t e = start;
    while (e < lines.size() && !lines[e].empty()) ++e;
    if (e >= lines.size()) break;
    for (std::size_t i = s; i < e; ++i) {
      longest = std::max(longest, lines[i].size());
      column = std::max(column, PositionOf(lines[i], ": "));
    }

    if (e == start + 2) {
      // A section whose lines are all hidden vanishes with its empty line.
      lines.erase(lines.begin() + static_cast<std::ptrdiff_t>(start),
                  lines.begin() + static_cast<std::ptrdiff_t>(std::min(e + 1, lines.size())));
      s = start;
      continue;
    }

    for (std::size_t i = start + 2; i < e; ++i) {
      std::string& line = lines[i];
      const std::size_t p = PositionOf(line, ": ");
      if (p != 0 && p < column) line.insert(p - 1, column - p, ' ');
      longest = std::max(longest, line.size());
    }
    if (start + 1 < e) lines[start + 1] = std::string(longest, '-');
    s = e + 1;
  }

  // The empty line added above is dropped again; with every section gone
  // there is nothing left to drop and the block is empty.
  if (!lines.empty()) lines.pop_back();
  std::string text;
  for (const std::string& line : lines) {
    text += line;
    text += kCrLf;
  }
  return text;
}
