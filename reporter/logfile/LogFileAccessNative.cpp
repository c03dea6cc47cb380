// The log file through POSIX descriptors, for the native build and its tests:
// an advisory flock stands for the Windows byte-range lock.
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <thread>

#include "reporter/logfile/LogFileAccess.h"
#include "runtime/Streams.h"

namespace {

std::string ErrorText(const std::string& what, const std::string& fileName) {
  return what + " \"" + fileName + "\" (" + std::strerror(errno) + ")";
}

class TNativeLogFile : public TLogFileHandle {
 public:
  TNativeLogFile(int fd, std::string fileName) : fd_(fd), fileName_(std::move(fileName)) {}
  ~TNativeLogFile() override { close(fd_); }

  std::string ReadAll() override {
    struct stat info {};
    if (fstat(fd_, &info) != 0) throw EReadError(ErrorText("Cannot read the log file", fileName_));
    std::string text(static_cast<std::size_t>(info.st_size), '\0');
    std::size_t done = 0;
    while (done < text.size()) {
      const ssize_t read =
          pread(fd_, text.data() + done, text.size() - done, static_cast<off_t>(done));
      if (read < 0) throw EReadError(ErrorText("Cannot read the log file", fileName_));
      if (read == 0) break;
      done += static_cast<std::size_t>(read);
    }
    text.resize(done);
    return text;
  }

  void Rewrite(std::string_view text) override {
    std::size_t done = 0;
    while (done < text.size()) {
      const ssize_t written =
          pwrite(fd_, text.data() + done, text.size() - done, static_cast<off_t>(done));
      if (written <= 0) throw EWriteError(ErrorText("Cannot write the log file", fileName_));
      done += static_cast<std::size_t>(written);
    }
    if (ftruncate(fd_, static_cast<off_t>(text.size())) != 0) {
      throw EWriteError(ErrorText("Cannot cut the log file", fileName_));
    }
  }

  void Lock() override {
    const auto deadline =
        std::chrono::steady_clock::now() + std::chrono::milliseconds(kLogFileLockTimeoutMs);
    while (flock(fd_, LOCK_EX | LOCK_NB) != 0) {
      if (errno != EWOULDBLOCK) throw EFOpenError(ErrorText("Cannot lock the log file", fileName_));
      if (std::chrono::steady_clock::now() > deadline) {
        throw EFOpenError("The log file \"" + fileName_ + "\" is held by another process.");
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
  }

  void Unlock() override { flock(fd_, LOCK_UN); }

 private:
  int fd_;
  std::string fileName_;
};

}  // namespace

std::unique_ptr<TLogFileHandle> OpenLogFileHandle(const std::string& fileName, bool create) {
  const int fd = open(fileName.c_str(), O_RDWR | O_CLOEXEC | (create ? O_CREAT : 0), 0644);
  if (fd < 0) {
    if (!create && errno == ENOENT) return nullptr;
    throw EFOpenError(ErrorText("Cannot open the log file", fileName));
  }
  return std::make_unique<TNativeLogFile>(fd, fileName);
}
