// The whole report text against the sample report, and the header block shaped
// by the line switches, labels and values with line breaks.
#include "reporter/report/ReportText.h"

#include <gtest/gtest.h>

#include "reporter/config/ModuleOptions.h"

namespace {

std::string Crlf(std::string_view text) {
  std::string result;
  for (char c : text) {
    if (c == '\n') result += '\r';
    result += c;
  }
  return result;
}

// The sample report, every line on and the default texts.
const char* const kSampleReport = R"report(VexlorLog 4.5.8

Application:
------------------------------------------------------
  1.1 Start Date      : Mon, 7 Dec 2026 09:12:05 +0300
  1.2 Name/Description: Video Player
  1.3 Version Number  : 1.1.0.248
  1.4 Parameters      : 

Exception:
------------------------------------------------------------------------------
  2.1 Date   : Mon, 7 Dec 2026 09:40:51 +0300
  2.2 Address: 000000000048C1F2
  2.3 Module : player.exe
  2.4 Type   : EAccessViolation
  2.5 Message: Access violation at address 0048C1F2. Read of address 00000000.

Active Controls:
-----------------------------
  3.1 Form Class   : TfrmMain
  3.2 Form Text    : Settings
  3.3 Control Class: TButton
  3.4 Control Text : Play

Computer:
----------------------------
  4.1 Name        : KIOSK-01
  4.2 User        : operator
  4.3 Total Memory: 511 Mb
  4.4 Free Memory : 203 Mb
  4.5 Total Disk  : 37.26 Gb
  4.6 Free Disk   : 12.4 Gb

Operating System:
---------------------------------------
  5.1 Type    : Microsoft Windows XP
  5.2 Build # : 2600
  5.3 Update  : Service Pack 2
  5.4 Language: English (United States)

Call Stack Information:
---------------------------------------------------------------------
|Address         |Module    |Unit    |Class   |Procedure/Method|Line|
---------------------------------------------------------------------
|000000000048C1F2|player.exe|Main    |TfrmMain|btnPlayClick    |212 |
|0000000000437D1A|player.exe|Controls|TControl|Click           |    |
---------------------------------------------------------------------

Modules Information:
-----------------------------------------------------------------------------------
|Handle          |Name      |Description |Version      |Size  |Path               |
-----------------------------------------------------------------------------------
|0000000000400000|player.exe|            |1.1.0.248    |709120|C:\Kiosk           |
|000000007C900000|ntdll.dll |NT Layer DLL|5.1.2600.2180|708096|C:\WINDOWS\system32|
-----------------------------------------------------------------------------------

Registers:
---------------------------------------------
RAX: 0000000000000000   RDI: 000000000012F5A8
RBX: 0000000000A61F30   RSI: 000000000012F6B4
RCX: 0000000000000001   RSP: 000000000012F590
RDX: 000000000048C1F2   RIP: 000000000048C1F2
R8 : 00007FF6A1B20000   R9 : 0000000000000020
R10: 0000000000000000   R11: 0000000000000246
R12: 000000000012F6B4   R13: 0000000000000000
R14: 0000000000000000   R15: 0000000000000000

Stack:                               Memory Dump:
----------------------------------   -----------------------------------------------------------------------------------
000000000012F590: 0000000000437D1A   000000000048C1F2: 8B 45 FC 8B 00 E8 11 22 33 44 5F 5E 5B C3 90 90  .E....."3D_^[...
000000000012F598: 0000000000000000   000000000048C202: 8B 45 FC 8B 00 E8 11 22 33 44 5F 5E 5B C3 90 90  .E....."3D_^[...
000000000012F5A0: 0000000000000000   000000000048C212: 8B 45 FC 8B 00 E8 11 22 33 44 5F 5E 5B C3 90 90  .E....."3D_^[...
000000000012F5A8: 0000000000000000   000000000048C222: 8B 45 FC 8B 00 E8 11 22 33 44 5F 5E 5B C3 90 90  .E....."3D_^[...
000000000012F5B0: 0000000000000000   000000000048C232: 8B 45 FC 8B 00 E8 11 22 33 44 5F 5E 5B C3 90 90  .E....."3D_^[...
000000000012F5B8: 0000000000000000   000000000048C242: 8B 45 FC 8B 00 E8 11 22 33 44 5F 5E 5B C3 90 90  .E....."3D_^[...
000000000012F5C0: 0000000000000000   000000000048C252: 8B 45 FC 8B 00 E8 11 22 33 44 5F 5E 5B C3 90 90  .E....."3D_^[...
000000000012F5C8: 0000000000000000   000000000048C262: 8B 45 FC 8B 00 E8 11 22 33 44 5F 5E 5B C3 90 90  .E....."3D_^[...
000000000012F5D0: 0000000000000000   000000000048C272: 8B 45 FC 8B 00 E8 11 22 33 44 5F 5E 5B C3 90 90  .E....."3D_^[...
000000000012F5D8: 0000000000000000   000000000048C282: 8B 45 FC 8B 00 E8 11 22 33 44 5F 5E 5B C3 90 90  .E....."3D_^[...
000000000012F5E0: 0000000000000000   000000000048C292: 8B 45 FC 8B 00 E8 11 22 33 44 5F 5E 5B C3 90 90  .E....."3D_^[...
000000000012F5E8: 0000000000000000   000000000048C2A2: 8B 45 FC 8B 00 E8 11 22 33 44 5F 5E 5B C3 90 90  .E....."3D_^[...
000000000012F5F0: 0000000000000000   000000000048C2B2: 8B 45 FC 8B 00 E8 11 22 33 44 5F 5E 5B C3 90 90  .E....."3D_^[...
000000000012F5F8: 0000000000000000   000000000048C2C2: 8B 45 FC 8B 00 E8 11 22 33 44 5F 5E 5B C3 90 90  .E....."3D_^[...
000000000012F600: 0000000000000000   000000000048C2D2: 8B 45 FC 8B 00 E8 11 22 33 44 5F 5E 5B C3 90 90  .E....."3D_^[...
000000000012F608: 0000000000000000   000000000048C2E2: 8B 45 FC 8B 00 E8 11 22 33 44 5F 5E 5B C3 90 90  .E....."3D_^[...
)report";

TReportFacts SampleFacts() {
  TReportFacts f;
  f.StartDate = "Mon, 7 Dec 2026 09:12:05 +0300";
  f.AppName = "Video Player";
  f.AppVersion = "1.1.0.248";
  f.ExceptionDate = "Mon, 7 Dec 2026 09:40:51 +0300";
  f.ExceptionAddress = "000000000048C1F2";
  f.ExceptionModule = "player.exe";
  f.ExceptionType = "EAccessViolation";
  f.ExceptionMessage = "Access violation at address 0048C1F2. Read of address 00000000.";
  f.FormClass = "TfrmMain";
  f.FormText = "Settings";
  f.ControlClass = "TButton";
  f.ControlText = "Play";
  f.ComputerName = "KIOSK-01";
  f.UserName = "operator";
  f.TotalMemory = "511 Mb";
  f.FreeMemory = "203 Mb";
  f.TotalDisk = "37.26 Gb";
  f.FreeDisk = "12.4 Gb";
  f.OSType = "Microsoft Windows XP";
  f.OSBuild = "2600";
  f.OSUpdate = "Service Pack 2";
  f.OSLanguage = "English (United States)";
  return f;
}

struct TSample {
  TVexlorModuleInfo player;
  TVexlorModuleInfo ntdll;
  TVexlorStackList stack;
  TVexlorReportInput input;

  TSample() {
    player.Handle = 0x400000;
    player.FileName = "C:\\Kiosk\\player.exe";
    player.Version = "1.1.0.248";
    player.FileSize = 709120;
    ntdll.Handle = 0x7C900000;
    ntdll.FileName = "C:\\WINDOWS\\system32\\ntdll.dll";
    ntdll.Description = "NT Layer DLL";
    ntdll.Version = "5.1.2600.2180";
    ntdll.FileSize = 708096;

    stack.Add({dikSourceLine, &player, 0x48C1F2, "Main", "TfrmMain", "btnPlayClick", 212});
    stack.Add({dikExportName, &player, 0x437D1A, "Controls", "TControl", "Click", 0});

    input.Facts = SampleFacts();
    input.CallStack = &stack;
    input.Modules = {&player, &ntdll};

    TReportCpuContext context;
    context.Rdi = 0x12F5A8;
    context.Rbx = 0xA61F30;
    context.Rsi = 0x12F6B4;
    context.Rcx = 1;
    context.Rsp = 0x12F590;
    context.Rdx = 0x48C1F2;
    context.Rip = 0x48C1F2;
    context.R8 = 0x7FF6A1B20000;
    context.R9 = 0x20;
    context.R11 = 0x246;
    context.R12 = 0x12F6B4;
    input.Context = context;

    TReportMemoryDump dump;
    dump.StackPointer = 0x12F590;
    dump.Stack[0] = 0x1A;
    dump.Stack[1] = 0x7D;
    dump.Stack[2] = 0x43;
    dump.CodeAddress = 0x48C1F2;
    const std::uint8_t code[16] = {0x8B, 0x45, 0xFC, 0x8B, 0x00, 0xE8, 0x11, 0x22,
                                   0x33, 0x44, 0x5F, 0x5E, 0x5B, 0xC3, 0x90, 0x90};
    for (std::size_t i = 0; i < dump.Code.size(); ++i) dump.Code[i] = code[i % 16];
    input.Dump = dump;
  }
};

}  // namespace

TEST(ReportText, ReproducesTheSampleReport) {
  TSample sample;
  EXPECT_EQ(MakeReport(sample.input).ReportText, Crlf(kSampleReport));

  // The same through the options object with its defaults.
  TVexlorModuleOptions options("C:\\Kiosk\\player.exe", false);
  sample.input.Options = &options;
  const std::string text = BuildReportText(sample.input);
  EXPECT_EQ(text, Crlf(kSampleReport));
  const TVexlorReport& report = CurrentReport();
  EXPECT_EQ(report.LogText, text);
  EXPECT_EQ(text.rfind(report.HeaderText + "\r\nCall Stack Information:\r\n", 0), 0u);
  EXPECT_EQ(text.substr(text.size() - report.CPUText.size()), report.CPUText);
  EXPECT_EQ(report.CPUText.rfind("Registers:\r\n", 0), 0u);
  EXPECT_EQ(report.IntroText,
            "An error has occurred during program execution.\r\n"
            "Please read the following information for further details.\r\n\r\n");
  EXPECT_EQ(report.DuplicateKey.Address, "000000000048C1F2");
  EXPECT_EQ(report.DuplicateKey.Module, "player.exe");
  EXPECT_EQ(report.DuplicateKey.Type, "EAccessViolation");
  EXPECT_EQ(report.DuplicateKey.Message, sample.input.Facts.ExceptionMessage);
  EXPECT_EQ(report.DialogMessageText, "");
}

TEST(ReportText, OnlyTheDateLine) {
  TSample sample;
  TVexlorModuleOptions options("", false);
  options.SetLogItems(1u << 4);
  sample.input.Options = &options;
  const TVexlorReport report = MakeReport(sample.input);
  EXPECT_EQ(report.HeaderText,
            "VexlorLog 4.5.8\r\n\r\n"
            "Exception:\r\n"
            "------------------------------------------\r\n"
            "  2.1 Date: Mon, 7 Dec 2026 09:40:51 +0300\r\n");
}

TEST(ReportText, EveryLineOffLeavesTheBannerAlone) {
  TSample sample;
  TVexlorModuleOptions options("", false);
  options.SetLogItems(0);
  sample.input.Options = &options;
  const TVexlorReport report = MakeReport(sample.input);
  EXPECT_EQ(report.HeaderText, "VexlorLog 4.5.8\r\n\r\n");
  EXPECT_EQ(report.ReportText.rfind("VexlorLog 4.5.8\r\n\r\n\r\nCall Stack Information:", 0), 0u);
}

TEST(ReportText, HiddenLinesAndProgramsWithoutControls) {
  TSample sample;
  TVexlorModuleOptions options("", false);
  options.SetLogItems(0xFFFFFFFFu & ~(1u << 1) & ~(1u << 3));
  sample.input.Options = &options;
  sample.input.ShowActiveControls = false;
  const std::string header = MakeReport(sample.input).HeaderText;
  EXPECT_NE(header.find("Application:\r\n"
                        "----------------------------------------------------\r\n"
                        "  1.1 Start Date    : Mon, 7 Dec 2026 09:12:05 +0300\r\n"
                        "  1.3 Version Number: 1.1.0.248\r\n"
                        "\r\nException:"),
            std::string::npos)
      << header;
  EXPECT_EQ(header.find("Active Controls"), std::string::npos);
  EXPECT_NE(header.find("+0300\r\n  2.2 Address"), std::string::npos);
  EXPECT_NE(header.find("00000000.\r\n\r\nComputer:\r\n"), std::string::npos);
}

TEST(ReportText, CustomLabelsShapeTheHeader) {
  TSample sample;
  TVexlorModuleOptions options("", false);
  options.SetText(static_cast<std::uint8_t>(TCustomizedText::LogOSHeader), "System");
  options.SetText(static_cast<std::uint8_t>(TCustomizedText::LogOSBuild), "Build number: kernel");
  sample.input.Options = &options;
  const std::string header = MakeReport(sample.input).HeaderText;
  const std::size_t os = header.find("System:\r\n");
  ASSERT_NE(os, std::string::npos);
  // The label's own ": " sets the column of the whole section.
  EXPECT_EQ(header.substr(os),
            "System:\r\n"
            "-------------------------------------------\r\n"
            "  5.1 Type        : Microsoft Windows XP\r\n"
            "  5.2 Build number: kernel: 2600\r\n"
            "  5.3 Update      : Service Pack 2\r\n"
            "  5.4 Language    : English (United States)\r\n");
}

TEST(ReportText, LineBreaksInValuesNeverSplitAHeaderLine) {
  TSample sample;
  sample.input.Facts.ExceptionMessage = "Disk full\r\nwhile saving.";
  sample.input.Facts.Parameters = "\"first\nsecond\"";
  sample.input.Facts.OSUpdate = "Pack\t3";
  const TVexlorReport report = MakeReport(sample.input);
  EXPECT_NE(report.HeaderText.find("  2.5 Message: Disk full  while saving.\r\n"),
            std::string::npos);
  EXPECT_NE(report.HeaderText.find("  1.4 Parameters      : \"first second\"\r\n"),
            std::string::npos);
  EXPECT_NE(report.HeaderText.find("  5.3 Update  : Pack 3\r\n"), std::string::npos);
  EXPECT_EQ(report.DuplicateKey.Message, "Disk full  while saving.");

  TReportException exception;
  exception.Object = {"EInOutError", "Disk full\r\nwhile saving"};
  EXPECT_EQ(BuildDialogMessageText(exception), "Disk full\r\nwhile saving.");
  EXPECT_EQ(CurrentReport().DialogMessageText, "Disk full\r\nwhile saving.");
}
