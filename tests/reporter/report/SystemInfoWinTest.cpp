// The Windows answers under the test's own process: plausible values, and no
// question that fails outward.
#include "reporter/report/SystemInfoWin.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstring>

#include "reporter/config/TraceFormat.h"
#include "reporter/debugdata/ForeignMemory.h"
#include "reporter/debugdata/ModuleFiles.h"
#include "reporter/report/CpuContextWin.h"
#include "reporter/report/MemoryDump.h"
#include "reporter/report/ReportText.h"
#include "reporter/report/SystemFacts.h"
#include "reporter/report/TextFilters.h"
#include "runtime/FileNames.h"

namespace {

bool EndsWith(const std::string& text, const std::string& tail) {
  return text.size() >= tail.size() &&
         text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

}  // namespace

TEST(WindowsSystemInfo, ComputerAndUser) {
  ISystemInfo& info = PlatformSystemInfo();
  const std::string computer = GetComputerNameText(info);
  EXPECT_FALSE(computer.empty());
  EXPECT_LE(computer.size(), 15u);
  EXPECT_FALSE(GetUserNameText(info).empty());
}

TEST(WindowsSystemInfo, MemoryAndDiskAreSizes) {
  ISystemInfo& info = PlatformSystemInfo();
  const auto memory = info.MemoryStatus();
  ASSERT_TRUE(memory);
  EXPECT_GT(memory->TotalPhysical, 64ull << 20);
  EXPECT_LE(memory->AvailablePhysical, memory->TotalPhysical);
  EXPECT_TRUE(EndsWith(GetTotalMemoryText(info), " Mb"));
  EXPECT_TRUE(EndsWith(GetFreeMemoryText(info), " Mb"));

  const auto disk = info.ProgramDiskSpace();
  ASSERT_TRUE(disk);
  EXPECT_GT(disk->TotalBytes, 0u);
  EXPECT_LE(disk->FreeBytesAvailable, disk->TotalBytes);
  EXPECT_TRUE(EndsWith(GetTotalDiskText(info), " Gb")) << GetTotalDiskText(info);
  EXPECT_TRUE(EndsWith(GetFreeDiskText(info), " Gb"));
  const char separator = info.DecimalSeparator();
  EXPECT_TRUE(std::ispunct(static_cast<unsigned char>(separator))) << int(separator);
}

TEST(WindowsSystemInfo, OperatingSystem) {
  ISystemInfo& info = PlatformSystemInfo();
  const TOSVersion version = info.OSVersion();
  EXPECT_EQ(version.PlatformId, 2u);
  EXPECT_GE(version.Major, 5u);
  EXPECT_GT(version.Build, 0u);
  EXPECT_EQ(GetOSTypeText(info).rfind("Microsoft Windows ", 0), 0u);
  EXPECT_EQ(GetOSBuildText(info), std::to_string(version.Build));
  EXPECT_EQ(GetOSUpdateText(info), Trim(GetOSUpdateText(info)));
  const std::string language = GetOSLanguageText(info);
  EXPECT_FALSE(language.empty());
  EXPECT_NE(language.find('('), std::string::npos) << language;  // "English (United States)"
}

TEST(WindowsSystemInfo, ProgramFileAndVersion) {
  ISystemInfo& info = PlatformSystemInfo();
  const std::string program = info.MainModuleFileName();
  EXPECT_TRUE(EndsWith(program, "report_windows_tests.exe")) << program;
  EXPECT_EQ(program.find('?'), std::string::npos);
  // The test carries no version resource; a system library does.
  EXPECT_EQ(GetAppNameText(info), "report_windows_tests.exe");
  EXPECT_EQ(GetAppVersionText(info), "");
  char system[MAX_PATH] = {};
  GetSystemDirectoryA(system, MAX_PATH);
  const TFileVersionInfo kernel = ReadVersionInfo(std::string(system) + "\\kernel32.dll");
  EXPECT_FALSE(kernel.Description.empty());
  EXPECT_EQ(std::count(kernel.Version.begin(), kernel.Version.end(), '.'), 3) << kernel.Version;
  const TFileVersionInfo missing = ReadVersionInfo("C:\\no\\such\\file.dll");
  EXPECT_EQ(missing.Description, "");
  EXPECT_EQ(missing.Version, "");
}

TEST(WindowsSystemInfo, ModuleOfAnAddress) {
  ISystemInfo& info = PlatformSystemInfo();
  const auto code = reinterpret_cast<std::uint64_t>(&PlatformSystemInfo);
  EXPECT_EQ(ExtractFileName(info.ModuleFileNameOfAddress(code)), "report_windows_tests.exe");
  const auto kernel =
      reinterpret_cast<std::uint64_t>(GetProcAddress(GetModuleHandleA("kernel32.dll"), "Sleep"));
  EXPECT_EQ(ExtractFileName(info.ModuleFileNameOfAddress(kernel)), "kernel32.dll");
  // Address 0 lies in no committed region: the program itself is named.
  TReportException exception;
  EXPECT_EQ(GetExceptionModuleText(info, exception), "report_windows_tests.exe");
  // Heap memory is committed but belongs to no module.
  void* heap = VirtualAlloc(nullptr, 4096, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
  ASSERT_NE(heap, nullptr);
  EXPECT_EQ(info.ModuleFileNameOfAddress(reinterpret_cast<std::uint64_t>(heap)), "");
  VirtualFree(heap, 0, MEM_RELEASE);
}

TEST(WindowsSystemInfo, DatesAndArguments) {
  ISystemInfo& info = PlatformSystemInfo();
  const TReportDateTime start = info.ApplicationStartTime();
  const TReportDateTime now = info.LocalNow();
  EXPECT_GE(start.Year, 2020);
  EXPECT_LE(start.Year, now.Year);
  const int zone = info.ZoneOffsetHours();
  EXPECT_GE(zone, -12);
  EXPECT_LE(zone, 14);
  EXPECT_EQ(GetStartDateText(info), FormatReportDate(start));
  EXPECT_EQ(FormatReportDate({2026, 12, 7, 3, 4, 33, 0}).substr(0, 26),
            "Mon, 7 Dec 2026 03:04:33 +");
  // ctest passes --gtest_brief=1.
  EXPECT_NE(GetParametersText(info).find("\"--gtest_brief=1\""), std::string::npos)
      << GetParametersText(info);
}

TEST(WindowsSystemInfo, ActiveWindowAnswersWithOrWithoutOne) {
  ISystemInfo& info = PlatformSystemInfo();
  const HWND window =
      CreateWindowExA(0, "STATIC", "Line one\r\nLine two", WS_POPUP | WS_VISIBLE, 0, 0, 100, 50,
                      nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
  ASSERT_NE(window, nullptr);
  SetForegroundWindow(window);
  if (GetForegroundWindow() == window) {
    EXPECT_EQ(GetFormClassText(info), "Static");
    EXPECT_EQ(GetFormText(info), "Line one  Line two");
  }
  DestroyWindow(window);
  EXPECT_NO_THROW(GetFormClassText(info));
  EXPECT_NO_THROW(GetFormText(info));
}

TEST(WindowsReportCapture, RegistersOfALiveContext) {
  CONTEXT context{};
  RtlCaptureContext(&context);
  const TReportCpuContext registers = ReportCpuContextOf(context);
  EXPECT_EQ(registers.Rsp, context.Rsp);
  EXPECT_EQ(registers.Rip, context.Rip);
  EXPECT_EQ(registers.R15, context.R15);
}

TEST(WindowsReport, ALiveReportHasEverySection) {
  TReportException exception;
  exception.Object = {"EAccessViolation", "Access violation"};
  exception.Address = reinterpret_cast<std::uint64_t>(&PlatformSystemInfo);
  exception.Date = PlatformSystemInfo().LocalNow();
  CONTEXT context{};
  RtlCaptureContext(&context);

  TVexlorReportInput input;
  input.Facts = CollectReportFacts(PlatformSystemInfo(), exception);
  input.Context = ReportCpuContextOf(context);
  const std::string text = BuildReportText(input);
  for (const char* heading :
       {"VexlorLog 4.5.8\r\n\r\nApplication:\r\n", "\r\n\r\nException:\r\n",
        "\r\n\r\nActive Controls:\r\n", "\r\n\r\nComputer:\r\n", "\r\n\r\nOperating System:\r\n",
        "\r\n\r\nCall Stack Information:\r\n", "\r\n\r\nModules Information:\r\n",
        "\r\n\r\nRegisters:\r\n"}) {
    EXPECT_NE(text.find(heading), std::string::npos) << heading;
  }
  EXPECT_NE(text.find("  2.3 Module : report_windows_tests.exe\r\n"), std::string::npos) << text;
  EXPECT_NE(text.find("  2.5 Message: Access violation.\r\n"), std::string::npos);
  EXPECT_NE(text.find("RIP: " + HexText(context.Rip, 16)), std::string::npos);
  // No bare line feeds or carriage returns anywhere.
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\n') {
      ASSERT_TRUE(i > 0 && text[i - 1] == '\r') << i;
    }
    if (text[i] == '\r') {
      ASSERT_TRUE(i + 1 < text.size() && text[i + 1] == '\n') << i;
    }
  }
}

TEST(WindowsReportCapture, DumpOfTheLiveStackAndCode) {
  CONTEXT context{};
  RtlCaptureContext(&context);
  TProcessMemory memory;
  const auto dump = CaptureMemoryDump(memory, context.Rsp, context.Rip);
  ASSERT_TRUE(dump);
  EXPECT_EQ(std::memcmp(dump->Code.data(), reinterpret_cast<const void*>(context.Rip), 256), 0);

  // Unreadable memory on either side gives no dump, and no fault.
  auto* pages = static_cast<std::uint8_t*>(
      VirtualAlloc(nullptr, 8192, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE));
  ASSERT_NE(pages, nullptr);
  DWORD old = 0;
  ASSERT_TRUE(VirtualProtect(pages + 4096, 4096, PAGE_NOACCESS, &old));
  const auto readable = reinterpret_cast<std::uint64_t>(pages);
  const auto noAccess = reinterpret_cast<std::uint64_t>(pages + 4096);
  EXPECT_FALSE(CaptureMemoryDump(memory, noAccess, context.Rip));
  EXPECT_FALSE(CaptureMemoryDump(memory, context.Rsp, noAccess));
  EXPECT_FALSE(CaptureMemoryDump(memory, context.Rsp, noAccess - 255));
  EXPECT_TRUE(CaptureMemoryDump(memory, readable + 4096 - 128, noAccess - 256));
  VirtualFree(pages, 0, MEM_RELEASE);
}
