// The reporter's own failures. It never lets them reach the application: a
// failed presentation or delivery step becomes an internal warning (the
// report goes on without it), a failure of the capture itself an internal
// error, which saves the trace and offers to mail it to the support address.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

enum class TVexlorLogErrorCode : std::uint8_t {
  eeNone,
  eeShowError,
  eeLogError,
  eeEmailMAPIError,
  eeEmailShellError,
  eeEmailSMTPError
};

// "eeNone" ... "eeEmailSMTPError".
std::string_view VexlorLogErrorCodeName(TVexlorLogErrorCode code);

// Where bug reports about the reporter itself go.
constexpr std::string_view kVexlorSupportAddress = "support@vexlorlog.invalid";

struct TVexlorInternalWarning {
  TVexlorLogErrorCode Code = TVexlorLogErrorCode::eeNone;
  std::string Message;
};

// The latest warning, read by the steps that show or send the report.
TVexlorInternalWarning LastInternalWarning();
void ClearLastInternalWarning();

void ReportInternalWarning(TVexlorLogErrorCode code, const std::string& message);
// Call inside a catch block: an Exception gives "[section] message", anything
// else "General 'section' error.".
void ReportInternalWarningFromException(TVexlorLogErrorCode code, const std::string& section);
// Call inside a catch block. Does nothing for EAbort.
void ReportInternalError(const std::string& section);

// --- What the other layers plug in -----------------------------------------

// The address where the exception being handled was raised; the capture layer
// knows it. Without a function the address is 0.
using TCurrentExceptionAddressFunc = const void* (*)();
void SetCurrentExceptionAddressFunc(TCurrentExceptionAddressFunc func);

// Set by the SMTP sender while its progress window is open, so SMTP warnings
// reach the user who is watching it.
void SetSMTPProgressWindowOpen(bool open);

// The message boxes of these routines. Returns the button chosen (IDYES = 6,
// IDNO = 7, IDOK = 1). Windows shows MessageBoxA; natively nothing is shown,
// the text goes to stderr and the answer is "No".
class TInternalErrorUI {
 public:
  virtual ~TInternalErrorUI() = default;
  virtual int ShowMessage(const std::string& text, const std::string& caption,
                          std::uint32_t flags) = 0;
};
void SetInternalErrorUI(TInternalErrorUI* ui);  // null restores the platform's

// Mail through the system's mail client. The mail delivery installs its
// sender; without one, sending fails and the user is told to send by hand.
class TSystemMailSender {
 public:
  virtual ~TSystemMailSender() = default;
  virtual bool Send(const std::string& recipient, const std::string& subject,
                    const std::string& body, const std::string& attachmentFile) = 0;
};
void SetSystemMailSender(TSystemMailSender* sender);

// The platform's message box (InternalErrorsWin.cpp / InternalErrorsNative.cpp).
int PlatformMessageBox(const std::string& text, const std::string& caption, std::uint32_t flags);
