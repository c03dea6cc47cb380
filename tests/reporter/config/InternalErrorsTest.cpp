// Internal warnings and errors with the boxes and the mail recorded instead of
// shown or sent.
#include "reporter/config/InternalErrors.h"

#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <iterator>
#include <stdexcept>

#include "reporter/config/Trace.h"
#include "reporter/config/TraceFormat.h"
#include "runtime/Exceptions.h"

namespace {

struct TBox {
  std::string text, caption;
  std::uint32_t flags;
};

class TRecordingUI : public TInternalErrorUI {
 public:
  int answer = 7;
  std::vector<TBox> boxes;
  int ShowMessage(const std::string& text, const std::string& caption,
                  std::uint32_t flags) override {
    boxes.push_back({text, caption, flags});
    return answer;
  }
};

class TRecordingSender : public TSystemMailSender {
 public:
  bool result = true;
  std::vector<std::string> calls;
  bool Send(const std::string& to, const std::string& subject, const std::string& body,
            const std::string& attachment) override {
    calls = {to, subject, body, attachment};
    return result;
  }
};

// Readable everywhere, in no module.
class TReadableInspector : public TAddressInspector {
 public:
  std::string ModuleFileName(const void*) const override { return {}; }
  bool ReadBytes(const void* address, void* out, std::size_t size) const override {
    std::memcpy(out, address, size);
    return true;
  }
};

unsigned char faultingCode[32];
const void* FaultAddress() {
  return faultingCode;
}

std::string Body(const std::string& line) {
  return line.substr(line.find("] ") + 2);
}

class InternalErrorsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    SetInternalErrorUI(&ui_);
    ClearLastInternalWarning();
    first_ = TraceLines().size();
  }
  void TearDown() override {
    SetInternalErrorUI(nullptr);
    SetSystemMailSender(nullptr);
    SetCurrentExceptionAddressFunc(nullptr);
    SetAddressInspector(nullptr);
    SetSMTPProgressWindowOpen(false);
    SetTraceEnabled(false);
  }
  std::vector<std::string> NewLines() {
    std::vector<std::string> all = TraceLines();
    return std::vector<std::string>(all.begin() + static_cast<long>(first_), all.end());
  }
  void RaiseAndReport(const std::string& section) {
    try {
      throw Exception("Access violation");
    } catch (...) {
      ReportInternalError(section);
    }
  }
  TRecordingUI ui_;
  std::size_t first_ = 0;
};

}  // namespace

TEST_F(InternalErrorsTest, WarningLineAndLastWarning) {
  SetTraceEnabled(true);
  ReportInternalWarning(TVexlorLogErrorCode::eeLogError, "Log");
  TVexlorInternalWarning last = LastInternalWarning();
  EXPECT_EQ(last.Code, TVexlorLogErrorCode::eeLogError);
  EXPECT_EQ(last.Message, "Log");
  std::vector<std::string> lines = NewLines();
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(Body(lines[0]),
            "[WARNING] - Code: eeLogError - Address: 0000000000000000 - Message: \"Log\"");
  ClearLastInternalWarning();
  EXPECT_EQ(LastInternalWarning().Code, TVexlorLogErrorCode::eeNone);
  EXPECT_EQ(LastInternalWarning().Message, "");
  EXPECT_TRUE(ui_.boxes.empty());
}

TEST_F(InternalErrorsTest, WarningFromTheCurrentException) {
  try {
    throw Exception("Handle is invalid");
  } catch (...) {
    ReportInternalWarningFromException(TVexlorLogErrorCode::eeShowError, "Console");
  }
  EXPECT_EQ(LastInternalWarning().Message, "[Console] Handle is invalid");
  try {
    throw std::runtime_error("not one of ours");
  } catch (...) {
    ReportInternalWarningFromException(TVexlorLogErrorCode::eeShowError, "GUI");
  }
  EXPECT_EQ(LastInternalWarning().Message, "General 'GUI' error.");
}

TEST_F(InternalErrorsTest, SMTPWarningsShowOnlyWithTheProgressWindow) {
  ReportInternalWarning(TVexlorLogErrorCode::eeEmailSMTPError, "550 rejected");
  EXPECT_TRUE(ui_.boxes.empty());
  SetSMTPProgressWindowOpen(true);
  ReportInternalWarning(TVexlorLogErrorCode::eeEmailMAPIError, "no client");
  EXPECT_TRUE(ui_.boxes.empty());
  ReportInternalWarning(TVexlorLogErrorCode::eeEmailSMTPError, "550 rejected");
  ASSERT_EQ(ui_.boxes.size(), 1u);
  EXPECT_EQ(ui_.boxes[0].text, "550 rejected");
  EXPECT_EQ(ui_.boxes[0].caption, "Error.");
  EXPECT_EQ(ui_.boxes[0].flags, 0x242010u);
}

TEST_F(InternalErrorsTest, AbortIsNoError) {
  try {
    throw EAbort("");
  } catch (...) {
    ReportInternalError("InternalExceptNotify.1");
  }
  EXPECT_TRUE(ui_.boxes.empty());
  EXPECT_TRUE(NewLines().empty());
}

TEST_F(InternalErrorsTest, ErrorTracesDumpsAndAsks) {
  for (int i = 0; i < 32; ++i) faultingCode[i] = static_cast<unsigned char>(i * 8);
  static TReadableInspector readable;
  SetAddressInspector(&readable);
  SetCurrentExceptionAddressFunc(FaultAddress);
  RaiseAndReport("InternalExceptNotify.7");
  EXPECT_FALSE(GetTraceEnabled());  // switched on only for the report
  std::vector<std::string> lines = NewLines();
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(Body(lines[0]), "[ERROR] - Section: InternalExceptNotify.7 - Address: " +
                                HexDigits(reinterpret_cast<std::uintptr_t>(faultingCode), 16) +
                                " - Message: \"Access violation\"");
  EXPECT_EQ(Body(lines[1]).substr(0, 25), "Memory Dump: $00 $08 $10 ");
  EXPECT_EQ(Body(lines[1]).size(), 13u + 32 * 4);
  std::ifstream file(TraceFileName(), std::ios::binary);
  std::string saved((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
  EXPECT_NE(saved.find("Section: InternalExceptNotify.7"), std::string::npos);
  // Answered No: one question, nothing more.
  ASSERT_EQ(ui_.boxes.size(), 1u);
  EXPECT_EQ(ui_.boxes[0].text,
            "Error: 'Access violation'\r\n\r\nThis is an internal VexlorLog bug.\r\n"
            "Do you want to send the bug information to VexlorLog author?");
  EXPECT_EQ(ui_.boxes[0].caption, "Probably internal bug");
  EXPECT_EQ(ui_.boxes[0].flags, 0x242014u);
}

TEST_F(InternalErrorsTest, UnreadableAddressWritesNoDump) {
  SetCurrentExceptionAddressFunc(FaultAddress);  // the platform's inspector here
  SetAddressInspector(nullptr);
  try {
    throw std::logic_error("x");
  } catch (...) {
    ReportInternalError("S");
  }
  std::vector<std::string> lines = NewLines();
  ASSERT_GE(lines.size(), 1u);
  EXPECT_NE(lines[0].find("Message: \"General internal error.\""), std::string::npos);
#if !defined(_WIN32)
  EXPECT_EQ(lines.size(), 1u);
#endif
}

TEST_F(InternalErrorsTest, YesMailsTheTraceOrExplains) {
  ui_.answer = 6;
  RaiseAndReport("S");
  ASSERT_EQ(ui_.boxes.size(), 2u);
  EXPECT_EQ(ui_.boxes[1].caption, "Information");
  EXPECT_EQ(ui_.boxes[1].flags, 0x242030u);
  EXPECT_EQ(ui_.boxes[1].text, "Cannot connect with your email client.\r\nSend manually the \"" +
                                   TraceFileName() +
                                   "\" file to the support@vexlorlog.invalid email address, "
                                   "after click on OK button to close this box.");
  TRecordingSender sender;
  SetSystemMailSender(&sender);
  ui_.boxes.clear();
  RaiseAndReport("S");
  EXPECT_EQ(ui_.boxes.size(), 1u);
  EXPECT_EQ(sender.calls,
            (std::vector<std::string>{"support@vexlorlog.invalid", "VexlorLog 4.5.8 critical bug.",
                                      "VexlorLog 4.5.8 critical bug.", TraceFileName()}));
  std::remove(TraceFileName().c_str());
}
