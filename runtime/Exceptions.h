// The class library's exception classes. Every exception the product raises
// on purpose derives from Exception, whose message is 8-bit text in the
// system code page (it goes into reports and logs as it is).
#pragma once

#include <exception>
#include <string>
#include <type_traits>

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

// Processor faults and other operating-system exceptions, as objects of the
// class library. ExceptionCode is the system's code, ExceptionAddress the
// faulting instruction.
class EExternal : public Exception {
 public:
  EExternal(std::string message, unsigned long exceptionCode, const void* exceptionAddress)
      : Exception(std::move(message)),
        exceptionCode_(exceptionCode),
        exceptionAddress_(exceptionAddress) {}
  unsigned long ExceptionCode() const noexcept { return exceptionCode_; }
  const void* ExceptionAddress() const noexcept { return exceptionAddress_; }

 private:
  unsigned long exceptionCode_;
  const void* exceptionAddress_;
};

#define VEXLOR_EXTERNAL_CLASS(Name, Base) \
  class Name : public Base {              \
   public:                                \
    using Base::Base;                     \
  };
VEXLOR_EXTERNAL_CLASS(EAccessViolation, EExternal)
VEXLOR_EXTERNAL_CLASS(EStackOverflow, EExternal)
VEXLOR_EXTERNAL_CLASS(EPrivilege, EExternal)
VEXLOR_EXTERNAL_CLASS(EControlC, EExternal)
VEXLOR_EXTERNAL_CLASS(EExternalException, EExternal)
VEXLOR_EXTERNAL_CLASS(EIntError, EExternal)
VEXLOR_EXTERNAL_CLASS(EDivByZero, EIntError)
VEXLOR_EXTERNAL_CLASS(ERangeError, EIntError)
VEXLOR_EXTERNAL_CLASS(EIntOverflow, EIntError)
VEXLOR_EXTERNAL_CLASS(EMathError, EExternal)
VEXLOR_EXTERNAL_CLASS(EInvalidOp, EMathError)
VEXLOR_EXTERNAL_CLASS(EZeroDivide, EMathError)
VEXLOR_EXTERNAL_CLASS(EOverflow, EMathError)
VEXLOR_EXTERNAL_CLASS(EUnderflow, EMathError)
#undef VEXLOR_EXTERNAL_CLASS

// The boundary of every COM method the project implements: an exception must
// never cross into a COM caller, so it becomes the method's HRESULT (an
// EOleException's own code, anything else E_UNEXPECTED). Kept out of line:
// the crash reporter recognises the boundary by this function's frame.
using TSafeCallBody = long (*)(void* context);
__attribute__((noinline)) inline long SafeCallBoundary(TSafeCallBody body, void* context) noexcept {
  try {
    return body(context);
  } catch (const EOleException& e) {
    return e.ErrorCode();
  } catch (...) {
    return static_cast<long>(0x8000FFFFL);  // E_UNEXPECTED
  }
}

// SafeCall([&] { ...; return S_OK; }) inside a COM method.
template <class F>
long SafeCall(F&& body) noexcept {
  using Body = std::remove_reference_t<F>;
  return SafeCallBoundary([](void* context) -> long { return (*static_cast<Body*>(context))(); },
                          const_cast<void*>(static_cast<const void*>(&body)));
}
