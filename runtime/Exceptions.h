// The class library's exception classes. Every exception the product raises
// on purpose derives from Exception, whose message is 8-bit text in the
// system code page (it goes into reports and logs as it is).
#pragma once

#include <exception>
#include <string>

class Exception : public std::exception {
 public:
  explicit Exception(std::string message) : message_(std::move(message)) {}
  ~Exception() override = default;

  const std::string& Message() const noexcept { return message_; }
  void SetMessage(std::string message) { message_ = std::move(message); }
  const char* what() const noexcept override { return message_.c_str(); }

 private:
  std::string message_;
};

// Raised to end an operation silently: never shown, never reported.
class EAbort : public Exception {
 public:
  using Exception::Exception;
};

class EConvertError : public Exception {
 public:
  using Exception::Exception;
};

// Stream failures: a read beyond the data, a write that could not complete.
class EStreamError : public Exception {
 public:
  using Exception::Exception;
};

class EReadError : public EStreamError {
 public:
  using EStreamError::EStreamError;
};

class EWriteError : public EStreamError {
 public:
  using EStreamError::EStreamError;
};

class EOutOfMemory : public Exception {
 public:
  using Exception::Exception;
};

// A failed COM call; ErrorCode is the HRESULT.
class EOleException : public Exception {
 public:
  EOleException(std::string message, long errorCode)
      : Exception(std::move(message)), errorCode_(errorCode) {}
  long ErrorCode() const noexcept { return errorCode_; }

 private:
  long errorCode_;
};
