// The options stream: round trip, the rules for older layouts, damaged data.
#include <gtest/gtest.h>

#include "reporter/config/ModuleOptions.h"
#include "reporter/config/OptionsStream.h"
#include "runtime/Streams.h"

namespace {

// Restores the process-wide stream version after each test.
class OptionsStreamTest : public ::testing::Test {
 protected:
  void TearDown() override { SetCurrentOptionsStreamVersion(kCurrentOptionsStreamVersion); }
};

void Fill(TVexlorModuleOptions& o) {
  o.SetStoredFlag(false);
  o.SetExceptionFiltersActive(false);
  o.SetReportFlags(rfNoDuplicateErrors | rfAskReproduceSteps);
  o.SetShowExceptionDialog(false);
  o.SetAppendLogToMessage(true);
  o.SetSendEntireLog(true);
  o.SetAttachScreenshot(true);
  o.SetShowSendDialog(false);
  o.SetSaveLogFile(false);
  o.SetDetailsPageIndex(2);
  o.SetCustomDialogStyle(false);
  o.SetFreezeActivate(true);
  o.SetFreezeTimeout(15);
  o.SetFreezeMessage("Frozen!");
  o.SetSMTPFrom("me@host.invalid");
  o.SetSMTPHost("smtp.host.invalid");
  o.SetSMTPPort(587);
  o.SetSMTPUserID("user");
  o.SetSMTPPassword("p\xE4ss");
  o.SetTerminateButtonAction(TTerminateButtonAction::Terminate);
  o.SetShowTerminateButton(false);
  o.SetErrorsNumberToSave(-5);
  o.SetTerminateButtonErrors(9);
  o.SetEmailAddresses("a@x.invalid;b@x.invalid");
  o.SetEmailSubject("Crash");
  o.SetEmailSendMode(TEmailSendMode::SMTPClient);
  o.SetLogItems(0x007F0F0F);
  o.SetOutputPath("D:\\Logs");
  o.SetExceptionFilters({"EAbort", "EConvertError", "EReadError"}, {"one"});
  o.SetEmailMessage("Line 1\r\nLine 2");
  for (int i = 0; i < CustomizedTextCount; ++i)
    o.SetText(static_cast<std::uint8_t>(i), "text " + std::to_string(i));
}

std::vector<std::uint8_t> Save(const TVexlorModuleOptions& options) {
  TMemoryStream stream;
  options.SaveToStream(stream);
  return stream.Bytes();
}

void Load(TVexlorModuleOptions& options, std::vector<std::uint8_t> bytes) {
  TMemoryStream stream(std::move(bytes));
  options.LoadFromStream(stream);
}

}  // namespace

TEST_F(OptionsStreamTest, RoundTripPadsUnequalFilterLists) {
  TVexlorModuleOptions source("", false);
  Fill(source);
  TVexlorModuleOptions loaded("", false);
  Load(loaded, Save(source));
  TVexlorOptionsFields expected = source.Fields();
  expected.ExceptionFilterMessages = {"one", "", ""};
  const TVexlorOptionsFields& got = loaded.Fields();
  EXPECT_EQ(got.ExceptionFilterClasses, expected.ExceptionFilterClasses);
  EXPECT_EQ(got.ExceptionFilterMessages, expected.ExceptionFilterMessages);
  EXPECT_EQ(got.CustomizedTexts, expected.CustomizedTexts);
  EXPECT_EQ(got.SMTPPassword, "p\xE4ss");
  EXPECT_EQ(got.EmailMessage, "Line 1\r\nLine 2");
  // Everything else field by field through a second save.
  EXPECT_EQ(Save(loaded), Save(source));
  EXPECT_EQ(loaded.UpdateCount(), 0);
}

TEST_F(OptionsStreamTest, LayoutStartsAsDocumented) {
  TVexlorModuleOptions options("", false);
  std::vector<std::uint8_t> bytes = Save(options);
  // Flags 1-12, FreezeTimeout 60, then FreezeMessage's length.
  std::vector<std::uint8_t> head = {1, 1, 0, 1, 0, 0, 0, 1, 1, 0, 1, 0, 60, 0, 0, 0, 35, 0, 0, 0};
  ASSERT_GE(bytes.size(), head.size());
  EXPECT_EQ(std::vector<std::uint8_t>(bytes.begin(), bytes.begin() + 20), head);
  EXPECT_EQ(bytes[20], 'T' ^ 0xA7);
}

TEST_F(OptionsStreamTest, Version400Rules) {
  TMemoryStream stream;
  TOptionsWriter out(stream);
  out.Bool(false);  // StoredFlag
  out.Bool(true);   // ExceptionFiltersActive
  out.Byte(1);      // ReportFlags
  out.Bool(false);  // ShowExceptionDialog, stored inverted
  out.Bool(true);   // AppendLogToMessage
  out.Bool(true);   // ShowTerminateButton
  out.I32(7);       // ErrorsNumberToSave
  out.I32(4);       // TerminateButtonErrors
  out.String("x@y.invalid");
  out.String("subject");
  out.Byte(1);  // EmailSendMode: "send"
  out.U32(0x12345678);
  out.Byte(0xEE);  // a byte older layouts kept after LogItems
  out.String("C:\\Logs");
  out.I32(1);
  out.String("EFoo");
  out.String("foo");
  out.String("body");
  int stored = 0;
  for (int i = 0; i < CustomizedTextCount; ++i) {
    bool absent = i == 14 || i == 15 || (i >= 8 && i <= 11) || (i >= 16 && i <= 18) || i == 23 ||
                  i == 37 || i == 45 || i == 47 || i == 48 || i >= 53;
    if (!absent) {
      out.String("old " + std::to_string(i));
      ++stored;
    }
  }
  EXPECT_EQ(stored, 39);

  SetCurrentOptionsStreamVersion(400);
  TVexlorModuleOptions options("", false);
  options.SetSMTPHost("");
  options.SetFreezeTimeout(33);  // not in a version-400 stream: kept
  stream.SetPosition(0);
  options.LoadFromStream(stream);
  EXPECT_EQ(stream.Remaining(), 0);
  EXPECT_TRUE(options.ShowExceptionDialog());
  EXPECT_EQ(options.EmailSendMode(), TEmailSendMode::EmailClient);
  EXPECT_EQ(options.FreezeTimeout(), 33);
  EXPECT_EQ(options.LogItems(), 0x12345678u);
  EXPECT_EQ(options.OutputPath(), "C:\\Logs");
  EXPECT_EQ(options.Text(0), "old 0");
  EXPECT_EQ(options.Text(52), "old 52");
  EXPECT_EQ(options.Text(14), "&Restart");
  EXPECT_EQ(options.Text(70), "Memory Dump");
  EXPECT_EQ(options.Text(23), "Parameters");

  // With a server named, the old "send" means sending through it.
  TVexlorModuleOptions withHost("", false);
  withHost.SetSMTPHost("relay.invalid");
  stream.SetPosition(0);
  withHost.LoadFromStream(stream);
  EXPECT_EQ(withHost.EmailSendMode(), TEmailSendMode::SMTPClient);
}

TEST_F(OptionsStreamTest, Version420StoredMilliseconds) {
  TMemoryStream stream;
  TOptionsWriter out(stream);
  for (int i = 0; i < 5; ++i) out.Bool(true);  // fields 1-5
  out.Bool(true);                              // SaveLogFile
  out.Byte(1);                                 // DetailsPageIndex
  out.Bool(true);                              // CustomDialogStyle
  out.Bool(true);                              // FreezeActivate
  out.I32(90500);                              // FreezeTimeout in ms
  out.String("frozen");
  out.String("host");  // SMTPHost; no SMTPFrom before 450
  out.Bool(true);
  out.I32(1);
  out.I32(1);
  out.String("");
  out.String("");
  out.Byte(3);
  out.U32(0);
  out.Byte(0);
  out.String("");
  out.I32(0);
  out.String("");
  SetCurrentOptionsStreamVersion(420);
  TVexlorModuleOptions options("", false);
  stream.SetPosition(0);
  // The texts of 420 are missing here: the stream ends early.
  EXPECT_THROW(options.LoadFromStream(stream), EReadError);
  EXPECT_EQ(options.FreezeTimeout(), 60);
  for (int i = 0; i < CustomizedTextCount; ++i) {
    bool absent = i == 14 || (i >= 8 && i <= 11) || (i >= 16 && i <= 18) || i == 23 || i == 37 ||
                  i == 45 || i == 47 || i == 48 || i >= 53;
    if (!absent) out.String("t");
  }
  stream.SetPosition(0);
  options.LoadFromStream(stream);
  EXPECT_EQ(options.FreezeTimeout(), 90);
  EXPECT_EQ(options.SMTPHost(), "host");
  EXPECT_EQ(options.SMTPFrom(), kDefaultSMTPFrom);
  EXPECT_EQ(options.EmailSendMode(), TEmailSendMode::SMTPClient);
  EXPECT_EQ(options.Text(15), "t");
  EXPECT_EQ(options.Text(14), "&Restart");
}

TEST_F(OptionsStreamTest, DamagedStreamsChangeNothing) {
  TVexlorModuleOptions source("", false);
  Fill(source);
  std::vector<std::uint8_t> good = Save(source);
  TVexlorModuleOptions options("", false);
  std::vector<std::uint8_t> before = Save(options);
  // Every truncation ends inside some field.
  for (std::size_t size = 0; size < good.size(); size += (size < 200 ? 1 : 97)) {
    std::vector<std::uint8_t> cut(good.begin(), good.begin() + static_cast<long>(size));
    EXPECT_THROW(Load(options, cut), EReadError) << size;
    ASSERT_EQ(Save(options), before) << size;
    ASSERT_EQ(options.UpdateCount(), 0);
  }
  // A string length beyond the data, and a negative one (FreezeMessage).
  for (std::int32_t length : {0x7FFFFFFF, -1, 100000}) {
    std::vector<std::uint8_t> bad = good;
    for (int i = 0; i < 4; ++i) bad[16 + i] = static_cast<std::uint8_t>(length >> (8 * i));
    try {
      Load(options, bad);
      ADD_FAILURE() << length;
    } catch (const EReadError& e) {
      EXPECT_NE(std::string(e.Message()).find("string length"), std::string::npos);
    }
    EXPECT_EQ(Save(options), before);
  }
}

TEST_F(OptionsStreamTest, AbsurdFilterCountIsRejected) {
  TVexlorModuleOptions options("", false);
  options.SetOutputPath("");
  std::vector<std::uint8_t> bytes = Save(options);
  // The count follows OutputPath, which is the empty string's four zero bytes.
  TMemoryStream probe(bytes);
  TOptionsReader in(probe);
  for (int i = 0; i < 12; ++i) in.Byte();
  in.I32();
  for (int i = 0; i < 3; ++i) in.String();
  in.U16();
  in.String();
  in.String();
  in.Byte();
  in.Byte();
  in.I32();
  in.I32();
  in.String();
  in.String();
  in.Byte();
  in.U32();
  in.String();
  std::int64_t countAt = probe.Position();
  for (std::int32_t count : {-1, 0x10000000}) {
    std::vector<std::uint8_t> bad = bytes;
    for (int i = 0; i < 4; ++i) bad[countAt + i] = static_cast<std::uint8_t>(count >> (8 * i));
    EXPECT_THROW(Load(options, bad), EReadError) << count;
  }
}

namespace {

// A stream of layout version v, written from the field table: which fields
// each version has, and in which order.
std::vector<std::uint8_t> StreamOfVersion(std::uint16_t v) {
  TMemoryStream stream;
  TOptionsWriter out(stream);
  out.Bool(false);  // 1 StoredFlag
  out.Bool(false);  // 2 ExceptionFiltersActive
  out.Byte(2);      // 3 ReportFlags
  out.Bool(true);   // 4 ShowExceptionDialog
  out.Bool(true);   // 5 AppendLogToMessage
  if (v >= 450) {
    out.Bool(true);   // 6 SendEntireLog
    out.Bool(true);   // 7 AttachScreenshot
    out.Bool(false);  // 8 ShowSendDialog
  }
  if (v >= 401) {
    out.Bool(false);  // 9 SaveLogFile
    out.Byte(3);      // 10 DetailsPageIndex
  }
  if (v >= 403) out.Bool(false);  // 11 CustomDialogStyle
  if (v >= 420) {
    out.Bool(true);               // 12 FreezeActivate
    out.I32(v < 422 ? 7000 : 7);  // 13 FreezeTimeout
    out.String("frozen " + std::to_string(v));
    if (v >= 450) out.String("from@x.invalid");
    out.String("");  // SMTPHost
  }
  if (v >= 450) out.U16(2525);
  if (v >= 421) {
    out.String("user");
    out.String("secret");
    out.Byte(0);  // TerminateButtonAction
  }
  out.Bool(false);  // ShowTerminateButton
  out.I32(5);
  out.I32(6);
  out.String("to@x.invalid");
  out.String("subject");
  out.Byte(3);  // EmailSendMode
  out.U32(0xF0F0);
  if (v < 450) out.Byte(0);
  out.String("D:\\Logs");
  out.I32(0);
  out.String("message");
  for (int i = 0; i < CustomizedTextCount; ++i) {
    bool absent = (i == 15 && v < 420) || (i == 14 && v < 421) ||
                  (v < 450 && ((i >= 8 && i <= 11) || (i >= 16 && i <= 18) || i == 23 || i == 37 ||
                               i == 45 || i == 47 || i == 48 || i >= 53));
    if (!absent) out.String("v" + std::to_string(i));
  }
  return stream.Bytes();
}

}  // namespace

TEST_F(OptionsStreamTest, EveryVersionReadsExactlyItsFields) {
  for (std::uint16_t v : {400, 401, 403, 420, 421, 422, 450, 458}) {
    SCOPED_TRACE(v);
    SetCurrentOptionsStreamVersion(v);
    TVexlorModuleOptions o("", false);
    TMemoryStream stream(StreamOfVersion(v));
    o.LoadFromStream(stream);
    EXPECT_EQ(stream.Remaining(), 0);
    EXPECT_EQ(o.ShowExceptionDialog(), v >= 450);
    EXPECT_EQ(o.SendEntireLog(), v >= 450);
    EXPECT_EQ(o.SaveLogFile(), v < 401);
    EXPECT_EQ(o.DetailsPageIndex(), v >= 401 ? 3 : 0);
    EXPECT_EQ(o.CustomDialogStyle(), v < 403);
    EXPECT_EQ(o.FreezeActivate(), v >= 420);
    EXPECT_EQ(o.FreezeTimeout(), v >= 420 ? 7 : 60);
    EXPECT_EQ(o.SMTPFrom(), v >= 450 ? "from@x.invalid" : kDefaultSMTPFrom);
    EXPECT_EQ(o.SMTPPort(), v >= 450 ? 2525 : 25);
    EXPECT_EQ(o.SMTPUserID(), v >= 421 ? "user" : "");
    EXPECT_EQ(o.TerminateButtonAction(),
              v >= 421 ? TTerminateButtonAction::Terminate : TTerminateButtonAction::Restart);
    EXPECT_EQ(o.EmailSendMode(),
              v >= 450 ? TEmailSendMode::SMTPServer : TEmailSendMode::EmailClient);
    EXPECT_EQ(o.LogItems(), 0xF0F0u);
    EXPECT_EQ(o.EmailMessage(), "message");
    EXPECT_EQ(o.Text(15), v >= 420 ? "v15" : "&Details");
    EXPECT_EQ(o.Text(14), v >= 421 ? "v14" : "&Restart");
    EXPECT_EQ(o.Text(70), v >= 450 ? "v70" : "Memory Dump");
  }
}
