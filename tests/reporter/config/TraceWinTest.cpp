// The trace under Windows: module names and code bytes from the loader, the
// trace file beside the executable.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <fstream>
#include <iterator>

#include "reporter/config/Trace.h"
#include "reporter/config/TraceFormat.h"
#include "runtime/FileNames.h"

namespace {

extern "C" __attribute__((noinline)) int TracedCodeMarker(int value) {
  return value * 3 + 1;
}

std::string ReadAll(const std::string& fileName) {
  std::ifstream file(fileName, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
}

}  // namespace

TEST(TraceWin, PointerIntoOwnCodeShowsModuleAndBytes) {
  auto* code = reinterpret_cast<const unsigned char*>(&TracedCodeMarker);
  std::string text = FormatTraceValue(code, CurrentAddressInspector());
  char exe[MAX_PATH] = {};
  GetModuleFileNameA(nullptr, exe, MAX_PATH);
  std::string expected = "$" + HexDigits(reinterpret_cast<std::uintptr_t>(code), 16) + " [" +
                         ExtractFileName(exe) + "] [$" + HexDigits(code[0], 2);
  EXPECT_EQ(text.substr(0, expected.size()), expected) << text;
  EXPECT_EQ(std::count(text.begin(), text.end(), '$'), 9) << text;
  // Heap memory lies in no module: the address alone.
  auto heap = std::make_unique<int>(5);
  EXPECT_EQ(FormatTraceValue(heap.get(), CurrentAddressInspector()).size(), 17u);
}

TEST(TraceWin, SavedFileBesideTheExecutable) {
  char exe[MAX_PATH] = {};
  GetModuleFileNameA(nullptr, exe, MAX_PATH);
  std::string fileName = ChangeFileExt(exe, ".log");
  EXPECT_EQ(TraceFileName(), fileName);
  std::remove(fileName.c_str());
  SetTraceEnabled(true);
  TraceEnter("TVexlorModuleOptions.Create", {"C:\\App\\player.exe"});
  TraceExit("TVexlorModuleOptions.Create");
  ASSERT_TRUE(SaveTrace());
  SetTraceEnabled(false);
  std::string text = ReadAll(fileName);
  EXPECT_EQ(text.rfind("VexlorLog 4.5.8\r\nGNU C++ ", 0), 0u) << text;
  EXPECT_NE(text.find("\r\nMicrosoft Windows "), std::string::npos);
  EXPECT_NE(text.find(":MainThread] TVexlorModuleOptions.Create('C:\\App\\player.exe')\r\n"),
            std::string::npos)
      << text;
  EXPECT_NE(text.find("] TVexlorModuleOptions.Create=\r\n"), std::string::npos);
  std::remove(fileName.c_str());
}
