// The log's items and their separator arithmetic; the file itself is reached
// through TLogFileHandle.
#include "reporter/logfile/LogFile.h"

#include <algorithm>

#include "reporter/config/Trace.h"
#include "reporter/logfile/LogFileAccess.h"

namespace {

constexpr std::string_view kCrLf = "\r\n";
constexpr std::string_view kItemEnd = "\r\n\r\n\r\n";

bool OnlyLineBreaks(std::string_view text) {
  return text.find_first_not_of("\r\n") == std::string_view::npos;
}

// A piece that no separator closed, written as a whole item.
std::string ClosedItem(std::string_view text) {
  while (text.ends_with(kCrLf)) text.remove_suffix(kCrLf.size());
  std::string item(text);
  item += kItemEnd;
  return item;
}

// An item without the line breaks that end it.
std::string_view ItemBody(std::string_view item) {
  while (item.ends_with(kCrLf)) item.remove_suffix(kCrLf.size());
  return item;
}

}  // namespace

std::vector<std::string> ParseLogItems(std::string_view data) {
  std::vector<std::string> items;
  std::size_t start = 0;
  for (;;) {
    const std::size_t found = data.find(kLogSeparator, start);
    if (found == std::string_view::npos) break;
    // The item keeps the first three line breaks of the run.
    items.emplace_back(data.substr(start, found - start + kItemEnd.size()));
    start = found + kLogSeparator.size();
  }
  const std::string_view rest = data.substr(std::min(start, data.size()));
  if (!OnlyLineBreaks(rest)) items.push_back(ClosedItem(rest));
  return items;
}

std::string CollapseSeparatorRuns(std::string_view text) {
  std::string result;
  result.reserve(text.size());
  std::size_t position = 0;
  while (position < text.size()) {
    const std::size_t run = text.find(kCrLf, position);
    if (run == std::string_view::npos) {
      result.append(text.substr(position));
      break;
    }
    result.append(text.substr(position, run - position));
    std::size_t breaks = 0;
    std::size_t end = run;
    while (text.substr(end, kCrLf.size()) == kCrLf) {
      ++breaks;
      end += kCrLf.size();
    }
    for (std::size_t i = 0; i < std::min<std::size_t>(breaks, 3); ++i) result.append(kCrLf);
    position = end;
  }
  return result;
}

bool IsItemOf(std::string_view item, std::string_view text) {
  return ItemBody(item) == ItemBody(CollapseSeparatorRuns(text));
}

TLogFile::TLogFile(std::string fileName) : FFileName(std::move(fileName)) {
  TraceEnter("TLogFile.Create", {FFileName});
  FStream = OpenLogFileHandle(FFileName, false);
  if (FStream) {
    // A store of another process rewrites the file; a read under its lock
    // never sees half of it.
    FStream->Lock();
    try {
      Read();
    } catch (...) {
      FStream->Unlock();
      throw;
    }
    FStream->Unlock();
  }
  TraceExit("TLogFile.Create", {FItems.size()});
}

TLogFile::~TLogFile() {
  ReleaseLock();
}

void TLogFile::ReleaseLock() noexcept {
  if (!FStream || !FLocked) return;
  FLocked = false;
  try {
    FStream->Unlock();
  } catch (...) {
    // Closing the handle releases it as well.
  }
}

void TLogFile::Read() {
  FItems = ParseLogItems(FStream->ReadAll());
}

void TLogFile::LockAndReload() {
  TraceEnter("TLogFile.LockAndReload");
  if (!FStream) FStream = OpenLogFileHandle(FFileName, true);
  if (!FLocked) {
    FStream->Lock();
    FLocked = true;
  }
  Read();
  TraceExit("TLogFile.LockAndReload", {FItems.size()});
}

void TLogFile::Add(std::string_view text, int maximum) {
  const std::size_t keep = static_cast<std::size_t>(std::max(maximum, 1));
  if (FItems.size() >= keep) {
    FItems.erase(FItems.begin(),
                 FItems.begin() + static_cast<std::ptrdiff_t>(FItems.size() - keep + 1));
  }
  std::string item = CollapseSeparatorRuns(text);
  item += kLogSeparator;
  FItems.push_back(std::move(item));
}

bool TLogFile::Find(const std::vector<std::string>& labels, const std::vector<std::string>& values,
                    std::string_view self) const {
  const std::size_t pairs = std::min(labels.size(), values.size());
  const std::string selfItem = self.empty() ? std::string() : CollapseSeparatorRuns(self);
  for (const std::string& item : FItems) {
    if (!selfItem.empty() && ItemBody(item) == ItemBody(selfItem)) continue;
    bool all = true;
    for (std::size_t i = 0; i < pairs && all; ++i) {
      const std::string key = "\r\n  " + labels[i] + " ";
      const std::size_t line = item.find(key);
      if (line == std::string::npos) {
        all = false;
        break;
      }
      const std::size_t colon = item.find(": ", line + kCrLf.size());
      if (colon == std::string::npos) {
        all = false;
        break;
      }
      const std::size_t begin = colon + 2;
      std::size_t end = item.find(kCrLf, begin);
      if (end == std::string::npos) end = item.size();
      all = std::string_view(item).substr(begin, end - begin) == values[i];
    }
    if (all) return true;
  }
  return false;
}

std::string TLogFile::GetText() const {
  std::size_t size = 0;
  for (const std::string& item : FItems) size += item.size() + kCrLf.size();
  std::string text;
  text.reserve(size);
  for (const std::string& item : FItems) {
    text += item;
    text += kCrLf;
  }
  return text;
}

void TLogFile::Save() {
  TraceEnter("TLogFile.Save", {FFileName});
  if (!FStream) FStream = OpenLogFileHandle(FFileName, true);
  FStream->Rewrite(GetText());
  ReleaseLock();
  TraceExit("TLogFile.Save");
}
