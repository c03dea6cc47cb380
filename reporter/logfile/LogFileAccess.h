// The log file on disk as the log needs it: read whole, rewritten whole, and
// a lock that keeps another process's store out between the two. The lock
// sits on a byte far past any content, so a reader that opens the file with
// full sharing is never refused.
#pragma once

#include <memory>
#include <string>
#include <string_view>

class TLogFileHandle {
 public:
  virtual ~TLogFileHandle() = default;
  // The content from the start. Raises EReadError.
  virtual std::string ReadAll() = 0;
  // The file becomes exactly `text`. Raises EWriteError.
  virtual void Rewrite(std::string_view text) = 0;
  // Waits a bounded time for the lock; raises EFOpenError when another
  // process holds it all that time.
  virtual void Lock() = 0;
  virtual void Unlock() = 0;
};

// Opened for reading and writing with every kind of sharing allowed. Null
// when the file does not exist and `create` is off; with `create` a missing
// file is made empty and an existing one kept. Raises EFOpenError.
std::unique_ptr<TLogFileHandle> OpenLogFileHandle(const std::string& fileName, bool create);

// How long Lock waits for another process before it gives up.
constexpr int kLogFileLockTimeoutMs = 10000;
