// The header values from a scripted platform, including one that fails every
// question.
#include "reporter/report/SystemFacts.h"

#include <gtest/gtest.h>

#include "tests/reporter/report/FakeSystemInfo.h"

namespace {

TReportException SampleException() {
  TReportException exception;
  exception.Object = {"EAccessViolation",
                      "Access violation at address 0048C1F2. Read of address 00000000"};
  exception.Address = 0x48C1F2;
  exception.Date = {2026, 12, 7, 9, 40, 51, 0};
  exception.FocusedClassName = "TButton";
  exception.FocusedText = "Play";
  return exception;
}

}  // namespace

TEST(SystemFacts, CollectsEveryHeaderValue) {
  TFakeSystemInfo info;
  info.Arguments = {"a", "b c"};
  const TReportFacts facts = CollectReportFacts(info, SampleException());
  EXPECT_EQ(facts.StartDate, "Mon, 7 Dec 2026 09:12:05 +0300");
  EXPECT_EQ(facts.AppName, "Video Player");
  EXPECT_EQ(facts.AppVersion, "1.1.0.248");
  EXPECT_EQ(facts.Parameters, "\"a\" \"b c\"");
  EXPECT_EQ(facts.ExceptionDate, "Mon, 7 Dec 2026 09:40:51 +0300");
  EXPECT_EQ(facts.ExceptionAddress, "000000000048C1F2");
  EXPECT_EQ(facts.ExceptionModule, "player.exe");
  EXPECT_EQ(facts.ExceptionType, "EAccessViolation");
  EXPECT_EQ(facts.ExceptionMessage,
            "Access violation at address 0048C1F2. Read of address 00000000.");
  EXPECT_EQ(facts.FormClass, "TfrmMain");
  EXPECT_EQ(facts.FormText, "Settings");
  EXPECT_EQ(facts.ControlClass, "TButton");
  EXPECT_EQ(facts.ControlText, "Play");
  EXPECT_EQ(facts.ComputerName, "KIOSK-01");
  EXPECT_EQ(facts.UserName, "operator");
  EXPECT_EQ(facts.TotalMemory, "511 Mb");
  EXPECT_EQ(facts.FreeMemory, "203 Mb");
  EXPECT_EQ(facts.TotalDisk, "37.26 Gb");
  EXPECT_EQ(facts.FreeDisk, "12.4 Gb");
  EXPECT_EQ(facts.OSType, "Microsoft Windows XP");
  EXPECT_EQ(facts.OSBuild, "2600");
  EXPECT_EQ(facts.OSUpdate, "Service Pack 2");
  EXPECT_EQ(facts.OSLanguage, "English (United States)");
}

TEST(SystemFacts, AppNameFallsBackToTheFileName) {
  TFakeSystemInfo info;
  info.ProgramVersion = {};
  EXPECT_EQ(GetAppNameText(info), "player.exe");
  EXPECT_EQ(GetAppVersionText(info), "");
}

TEST(SystemFacts, FormTextLosesItsControlCharacters) {
  TFakeSystemInfo info;
  info.FormText = "Two\r\nlines";
  EXPECT_EQ(GetFormText(info), "Two  lines");
}

TEST(SystemFacts, UnansweredQuestionsGiveEmptyTexts) {
  TFakeSystemInfo info;
  info.Memory.reset();
  info.Disk.reset();
  EXPECT_EQ(GetTotalMemoryText(info), "");
  EXPECT_EQ(GetFreeDiskText(info), "");
  info.Separator = ',';
  info.Disk = TDiskSpace{3ull << 29, 0};
  EXPECT_EQ(GetTotalDiskText(info), "1,5 Gb");
}

TEST(SystemFacts, AFailingPlatformNeverFailsTheCollectors) {
  TFakeSystemInfo info;
  info.Fail = true;
  TReportFacts facts;
  ASSERT_NO_THROW(facts = CollectReportFacts(info, SampleException()));
  EXPECT_EQ(facts.StartDate, "");
  EXPECT_EQ(facts.AppName, "");
  EXPECT_EQ(facts.ExceptionDate, "");
  EXPECT_EQ(facts.ExceptionModule, "");
  EXPECT_EQ(facts.ComputerName, "");
  EXPECT_EQ(facts.TotalDisk, "");
  EXPECT_EQ(facts.OSType, "Microsoft Windows ");
  EXPECT_EQ(facts.OSLanguage, "");
  // Values that need no platform are still there.
  EXPECT_EQ(facts.ExceptionAddress, "000000000048C1F2");
  EXPECT_EQ(facts.ExceptionType, "EAccessViolation");
  EXPECT_EQ(facts.ControlText, "Play");
}

TEST(SystemFacts, NullExceptionObject) {
  TReportException exception;
  EXPECT_EQ(GetExceptionTypeText(exception), "Unknown exception type.");
  EXPECT_EQ(GetExceptionMessageText(exception), "Unknown error message.");
  EXPECT_EQ(GetExceptionAddressText(exception), "");
}
