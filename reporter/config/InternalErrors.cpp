// The last internal warning and the internal error's boxes: the question to
// mail the trace to support, answered through a replaceable UI and mail sender.
#include "reporter/config/InternalErrors.h"

#include <array>
#include <atomic>
#include <exception>
#include <mutex>

#include "reporter/config/ReporterLock.h"
#include "reporter/config/Trace.h"
#include "reporter/config/TraceFormat.h"
#include "reporter/config/TracePlatform.h"
#include "runtime/Exceptions.h"

namespace {

constexpr int kIdYes = 6;
constexpr std::uint32_t kWarningBoxFlags = 0x242010;
constexpr std::uint32_t kQuestionBoxFlags = 0x242014;
constexpr std::uint32_t kInformationBoxFlags = 0x242030;
constexpr const char* kBugMailText = "VexlorLog 4.5.8 critical bug.";

TVexlorInternalWarning& LastWarning() {
  static auto* warning = new TVexlorInternalWarning;
  return *warning;
}
// A warning its holder was writing when it ended is not trusted.
TVexlorLock warningLock{[](void*) { LastWarning() = TVexlorInternalWarning{}; }};

std::atomic<TCurrentExceptionAddressFunc> addressFunc{nullptr};
std::atomic<bool> smtpWindowOpen{false};
std::atomic<TInternalErrorUI*> replacedUI{nullptr};
std::atomic<TSystemMailSender*> mailSender{nullptr};

const void* CurrentExceptionAddress() {
  TCurrentExceptionAddressFunc func = addressFunc.load();
  return func ? func() : nullptr;
}

int ShowBox(const std::string& text, const std::string& caption, std::uint32_t flags) {
  if (TInternalErrorUI* ui = replacedUI.load()) return ui->ShowMessage(text, caption, flags);
  return PlatformMessageBox(text, caption, flags);
}

// The message of the exception being handled, when it is one of ours.
bool CurrentExceptionMessage(std::string& message, bool& isAbort) {
  isAbort = false;
  std::exception_ptr current = std::current_exception();
  if (!current) return false;
  try {
    std::rethrow_exception(current);
  } catch (const EAbort& e) {
    isAbort = true;
    message = e.Message();
    return true;
  } catch (const Exception& e) {
    message = e.Message();
    return true;
  } catch (...) {
  }
  return false;
}

std::string AddressText(const void* address) {
  return HexDigits(reinterpret_cast<std::uintptr_t>(address), 16);
}

void OfferBugMail(const std::string& message) {
  std::string question = "Error: '" + message +
                         "'\r\n\r\nThis is an internal VexlorLog bug.\r\n"
                         "Do you want to send the bug information to VexlorLog author?";
  if (ShowBox(question, "Probably internal bug", kQuestionBoxFlags) != kIdYes) return;
  std::string traceFile = TraceFileName();
  TSystemMailSender* sender = mailSender.load();
  bool sent = false;
  try {
    sent = sender &&
           sender->Send(std::string(kVexlorSupportAddress), kBugMailText, kBugMailText, traceFile);
  } catch (...) {
    sent = false;
  }
  if (sent) return;
  ShowBox("Cannot connect with your email client.\r\nSend manually the \"" + traceFile +
              "\" file to the " + std::string(kVexlorSupportAddress) +
              " email address, after click on OK button to close this box.",
          "Information", kInformationBoxFlags);
}

}  // namespace

std::string_view VexlorLogErrorCodeName(TVexlorLogErrorCode code) {
  static constexpr std::array<std::string_view, 6> kNames = {
      "eeNone",           "eeShowError",       "eeLogError",
      "eeEmailMAPIError", "eeEmailShellError", "eeEmailSMTPError"};
  auto index = static_cast<std::size_t>(code);
  return index < kNames.size() ? kNames[index] : std::string_view("Unknown");
}

TVexlorInternalWarning LastInternalWarning() {
  std::lock_guard<TVexlorLock> guard(warningLock);
  return LastWarning();
}

void ClearLastInternalWarning() {
  std::lock_guard<TVexlorLock> guard(warningLock);
  LastWarning() = TVexlorInternalWarning{};
}

void ReportInternalWarning(TVexlorLogErrorCode code, const std::string& message) {
  try {
    {
      std::lock_guard<TVexlorLock> guard(warningLock);
      LastWarning() = TVexlorInternalWarning{code, message};
    }
    std::string line = "[WARNING] - Code: " + std::string(VexlorLogErrorCodeName(code)) +
                       " - Address: " + AddressText(CurrentExceptionAddress()) + " - Message: \"" +
                       message + "\"";
    Trace(line);
    PlatformDebuggerOutput(line);
    if (smtpWindowOpen.load() && code == TVexlorLogErrorCode::eeEmailSMTPError)
      ShowBox(message, "Error.", kWarningBoxFlags);
  } catch (...) {
    // The last line of defence reports nothing about itself.
  }
}

void ReportInternalWarningFromException(TVexlorLogErrorCode code, const std::string& section) {
  std::string message;
  bool isAbort = false;
  if (CurrentExceptionMessage(message, isAbort))
    ReportInternalWarning(code, "[" + section + "] " + message);
  else
    ReportInternalWarning(code, "General '" + section + "' error.");
}

void ReportInternalError(const std::string& section) {
  try {
    std::string message;
    bool isAbort = false;
    if (!CurrentExceptionMessage(message, isAbort)) message = "General internal error.";
    if (isAbort) return;
    const void* address = CurrentExceptionAddress();
    std::string line = "[ERROR] - Section: " + section + " - Address: " + AddressText(address) +
                       " - Message: \"" + message + "\"";
    PlatformDebuggerOutput(line);
    bool wasEnabled = GetTraceEnabled();
    SetTraceEnabled(true);
    Trace(line);
    std::array<unsigned char, 32> bytes{};
    if (address && CurrentAddressInspector().ReadBytes(address, bytes.data(), bytes.size())) {
      std::string dump = "Memory Dump: ";
      for (unsigned char b : bytes) dump += "$" + HexDigits(b, 2) + " ";
      Trace(dump);
    }
    SaveTrace();
    SetTraceEnabled(wasEnabled);
    OfferBugMail(message);
  } catch (...) {
    // The last line of defence reports nothing about itself.
  }
}

void SetCurrentExceptionAddressFunc(TCurrentExceptionAddressFunc func) {
  addressFunc.store(func);
}
void SetSMTPProgressWindowOpen(bool open) {
  smtpWindowOpen.store(open);
}
void SetInternalErrorUI(TInternalErrorUI* ui) {
  replacedUI.store(ui);
}
void SetSystemMailSender(TSystemMailSender* sender) {
  mailSender.store(sender);
}
