// The log file through Win32 handles: deny-none sharing, so another instance
// of the program may read or store at the same time, and LockFileEx on one
// byte far beyond the content as the storing lock.
#include <windows.h>

#include <limits>

#include "reporter/logfile/LogFileAccess.h"
#include "runtime/Streams.h"

namespace {

// Past any real log, so no reader's range ever meets it.
constexpr DWORD kLockOffsetHigh = 0x7FFFFFFF;

std::string ErrorText(const std::string& what, const std::string& fileName) {
  return what + " \"" + fileName + "\" (error " + std::to_string(GetLastError()) + ")";
}

class TWinLogFile : public TLogFileHandle {
 public:
  TWinLogFile(HANDLE handle, std::string fileName)
      : handle_(handle), fileName_(std::move(fileName)) {}
  ~TWinLogFile() override { CloseHandle(handle_); }

  std::string ReadAll() override {
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(handle_, &size) || size.QuadPart > std::numeric_limits<DWORD>::max()) {
      throw EReadError(ErrorText("Cannot read the log file", fileName_));
    }
    std::string text(static_cast<std::size_t>(size.QuadPart), '\0');
    LARGE_INTEGER zero{};
    if (!SetFilePointerEx(handle_, zero, nullptr, FILE_BEGIN)) {
      throw EReadError(ErrorText("Cannot read the log file", fileName_));
    }
    std::size_t done = 0;
    while (done < text.size()) {
      DWORD read = 0;
      if (!ReadFile(handle_, text.data() + done, static_cast<DWORD>(text.size() - done), &read,
                    nullptr)) {
        throw EReadError(ErrorText("Cannot read the log file", fileName_));
      }
      if (read == 0) break;  // another writer cut the file meanwhile
      done += read;
    }
    text.resize(done);
    return text;
  }

  void Rewrite(std::string_view text) override {
    LARGE_INTEGER zero{};
    if (!SetFilePointerEx(handle_, zero, nullptr, FILE_BEGIN)) {
      throw EWriteError(ErrorText("Cannot write the log file", fileName_));
    }
    std::size_t done = 0;
    while (done < text.size()) {
      DWORD written = 0;
      if (!WriteFile(handle_, text.data() + done, static_cast<DWORD>(text.size() - done), &written,
                     nullptr) ||
          written == 0) {
        throw EWriteError(ErrorText("Cannot write the log file", fileName_));
      }
      done += written;
    }
    if (!SetEndOfFile(handle_)) throw EWriteError(ErrorText("Cannot cut the log file", fileName_));
  }

  void Lock() override {
    const DWORD start = GetTickCount();
    for (;;) {
      OVERLAPPED at{};
      at.OffsetHigh = kLockOffsetHigh;
      if (LockFileEx(handle_, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, &at)) {
        return;
      }
      const DWORD error = GetLastError();
      if (error != ERROR_LOCK_VIOLATION && error != ERROR_IO_PENDING) {
        throw EFOpenError(ErrorText("Cannot lock the log file", fileName_));
      }
      if (GetTickCount() - start > static_cast<DWORD>(kLogFileLockTimeoutMs)) {
        throw EFOpenError("The log file \"" + fileName_ + "\" is held by another process.");
      }
      Sleep(5);
    }
  }

  void Unlock() override {
    OVERLAPPED at{};
    at.OffsetHigh = kLockOffsetHigh;
    UnlockFileEx(handle_, 0, 1, 0, &at);
  }

 private:
  HANDLE handle_;
  std::string fileName_;
};

}  // namespace

std::unique_ptr<TLogFileHandle> OpenLogFileHandle(const std::string& fileName, bool create) {
  HANDLE handle = CreateFileA(fileName.c_str(), GENERIC_READ | GENERIC_WRITE,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              create ? OPEN_ALWAYS : OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) {
    const DWORD error = GetLastError();
    if (!create && (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND)) return nullptr;
    SetLastError(error);
    throw EFOpenError(ErrorText("Cannot open the log file", fileName));
  }
  return std::make_unique<TWinLogFile>(handle, fileName);
}
