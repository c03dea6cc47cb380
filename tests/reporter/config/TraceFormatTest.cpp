// The trace's text forms: values, pointers into a module, exceptions, lines,
// switches, command lines and version texts.
#include "reporter/config/TraceFormat.h"

#include <gtest/gtest.h>

#include <cstring>
#include <stdexcept>

#include "runtime/Exceptions.h"

namespace {

// A module that covers one 16-byte buffer, whose first bytes may be readable.
class TFakeModuleInspector : public TAddressInspector {
 public:
  const unsigned char* begin = nullptr;
  bool readable = true;
  std::string ModuleFileName(const void* address) const override {
    auto* at = static_cast<const unsigned char*>(address);
    return at >= begin && at < begin + 16 ? "C:\\App\\player.exe" : "";
  }
  bool ReadBytes(const void* address, void* out, std::size_t size) const override {
    if (!readable) return false;
    std::memcpy(out, address, size);
    return true;
  }
};

class TThrowingException : public std::exception {
 public:
  const char* what() const noexcept override { return "never shown"; }
};

const TFakeModuleInspector& NoModules() {
  static TFakeModuleInspector inspector;
  return inspector;
}

std::string Params(TraceParams params) {
  return FormatTraceParams(params, NoModules());
}

}  // namespace

TEST(TraceFormat, ScalarKinds) {
  EXPECT_EQ(Params({-42, 7u, true, false, 'x', 1.5, std::uint8_t{255}}),
            "(-42, 7, True, False, x, 1.5, 255)");
  EXPECT_EQ(Params({"zero-terminated", std::string("std"), std::string_view("view")}),
            "('zero-terminated', 'std', 'view')");
  EXPECT_EQ(Params({static_cast<const char*>(nullptr)}), "('')");
  EXPECT_EQ(Params({TraceValue::Unknown()}), "(Unknown)");
  EXPECT_EQ(Params({}), "");
}

TEST(TraceFormat, PointersAtPointerWidth) {
  EXPECT_EQ(Params({nullptr}), "(nil)");
  EXPECT_EQ(Params({reinterpret_cast<void*>(std::uintptr_t{0xABC})}), "($0000000000000ABC)");
  int (*function)(int) = nullptr;
  EXPECT_EQ(Params({function}), "(nil)");
}

TEST(TraceFormat, PointerIntoModuleShowsNameAndBytes) {
  static const unsigned char code[16] = {0x55, 0x48, 0x89, 0xE5, 0x0F, 0x1F, 0x00, 0xC3};
  TFakeModuleInspector inspector;
  inspector.begin = code;
  std::string address = "$" + HexDigits(reinterpret_cast<std::uintptr_t>(code), 16);
  EXPECT_EQ(FormatTraceValue(code, inspector),
            address + " [player.exe] [$55 $48 $89 $E5 $0F $1F $00 $C3]");
  inspector.readable = false;
  EXPECT_EQ(FormatTraceValue(code, inspector), address + " [player.exe]");
}

TEST(TraceFormat, ExceptionObjectsShowClassAndMessage) {
  EReadError error("Stream read error");
  std::runtime_error standard("bad");
  EXPECT_EQ(Params({error}), "(EReadError [Stream read error])");
  EXPECT_EQ(Params({&standard}), "(std::runtime_error [bad])");
  EXPECT_EQ(Params({static_cast<const Exception*>(nullptr)}), "(nil)");
}

TEST(TraceFormat, LineLayoutAndTime) {
  std::tm local{};
  local.tm_mday = 3;
  local.tm_mon = 1;
  local.tm_year = 126;
  local.tm_hour = 4;
  local.tm_min = 5;
  local.tm_sec = 6;
  EXPECT_EQ(FormatTraceTime(local), "03/02/26 04:05:06");
  EXPECT_EQ(FormatTraceLine("03/02/26 04:05:06", "00000ABC:MainThread", 4, "Init", "(1)"),
            "03/02/26 04:05:06 [00000ABC:MainThread]     Init(1)");
  EXPECT_EQ(FormatTraceLine("t", "1", 0, "Done", ""), "t [1] Done");
}

TEST(TraceFormat, OnlyTheLastParameterSwitches) {
  EXPECT_TRUE(TraceSwitchesFromParameters({"x", "/debug"}, false).Enabled);
  EXPECT_FALSE(TraceSwitchesFromParameters({"/DEBUG", "x"}, false).Enabled);
  EXPECT_FALSE(TraceSwitchesFromParameters({}, false).Enabled);
  EXPECT_TRUE(TraceSwitchesFromParameters({}, true).Enabled);
  TTraceSwitches both = TraceSwitchesFromParameters({"/DebugSave"}, false);
  EXPECT_TRUE(both.Enabled);
  EXPECT_TRUE(both.SaveEachLine);
  TTraceSwitches saveOnly = TraceSwitchesFromParameters({"save"}, false);
  EXPECT_FALSE(saveOnly.Enabled);
  EXPECT_TRUE(saveOnly.SaveEachLine);
}

TEST(TraceFormat, CommandLineSplitting) {
  EXPECT_EQ(SplitCommandLine("\"C:\\Program Files\\a.exe\"  one \"two three\"\t/DEBUG"),
            (std::vector<std::string>{"C:\\Program Files\\a.exe", "one", "two three", "/DEBUG"}));
  EXPECT_TRUE(SplitCommandLine("   ").empty());
}

TEST(TraceFormat, WindowsVersionTexts) {
  EXPECT_EQ(WindowsVersionText(1, 4, 0, " B "), "Microsoft Windows 95 OSR 2 (B)");
  EXPECT_EQ(WindowsVersionText(1, 4, 10, "A"), "Microsoft Windows 98 SE (A)");
  EXPECT_EQ(WindowsVersionText(1, 4, 90, ""), "Microsoft Windows ME");
  EXPECT_EQ(WindowsVersionText(2, 4, 0, ""), "Microsoft Windows NT 4.0");
  EXPECT_EQ(WindowsVersionText(2, 5, 1, "Service Pack 3"), "Microsoft Windows XP (Service Pack 3)");
  EXPECT_EQ(WindowsVersionText(2, 10, 0, ""), "Microsoft Windows ");
  EXPECT_EQ(WindowsVersionText(2, 6, 2, ""), "Microsoft Windows ");
}

TEST(TraceFormat, HeaderAndFileNames) {
  std::vector<std::string> header = TraceHeaderLines("Microsoft Windows ");
  ASSERT_EQ(header.size(), 4u);
  EXPECT_EQ(header[0], "VexlorLog 4.5.8");
  EXPECT_FALSE(header[1].empty());
  EXPECT_EQ(header[3], "----------------");
  EXPECT_EQ(UpperFileName("C:\\Tools\\VexlorIde.exe"), "VEXLORIDE.EXE");
}
