// The log of past reports, newest last: one text item per stored report,
// separated on disk by a run of four CR LFs. Nothing is cached between
// reports; each storing reads, changes and writes the file anew.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

class TLogFileHandle;

// What a run of four CR LFs separates. An item read back ends in exactly three
// CR LFs.
constexpr std::string_view kLogSeparator = "\r\n\r\n\r\n\r\n";

// The items of a log file's content. Text after the last separator (a report
// cut off by a power loss) is kept as an item, and so is a content without any
// separator; only CR LFs left over after the last separator are dropped.
std::vector<std::string> ParseLogItems(std::string_view data);

// Whether an item holds this report text (as Add stored it).
bool IsItemOf(std::string_view item, std::string_view text);

// A report text as the log stores it: every run of four or more CR LFs inside
// it becomes three, so that it reads back as one item.
std::string CollapseSeparatorRuns(std::string_view text);

class TLogFile {
 public:
  // Reads the file when it exists; a missing file is an empty log, made on
  // Save. Raises EFOpenError / EReadError when it exists but cannot be read.
  explicit TLogFile(std::string fileName);
  ~TLogFile();
  TLogFile(const TLogFile&) = delete;
  TLogFile& operator=(const TLogFile&) = delete;

  const std::string& FileName() const { return FFileName; }
  const std::vector<std::string>& Items() const { return FItems; }

  // Takes the file's lock (making the file when it is missing) and reads it
  // again, so that what another process stored since the first read is kept.
  // The lock is held until Save or the end of the object.
  void LockAndReload();

  // Gives the lock back without saving.
  void ReleaseLock() noexcept;

  // Drops the oldest items until one less than `maximum` remain, then adds
  // the text (runs of separators collapsed) as the newest. A maximum below 1
  // counts as 1.
  void Add(std::string_view text, int maximum);

  // True when one item holds every label with its value: the line
  // CR LF + "  " + label + " " and, after its first ": ", exactly the value up
  // to the next CR LF. An item that is the text `self` (the report being
  // made, once stored) is passed over.
  bool Find(const std::vector<std::string>& labels, const std::vector<std::string>& values,
            std::string_view self = {}) const;

  // Every item followed by CR LF: the file's content as Save writes it.
  std::string GetText() const;

  // Writes GetText() over the file, cutting what is left of a longer old
  // content, and releases the lock. Raises EFCreateError / EWriteError.
  void Save();

 private:
  void Read();

  std::string FFileName;
  std::unique_ptr<TLogFileHandle> FStream;  // none while the file does not exist
  std::vector<std::string> FItems;
  bool FLocked = false;
};
