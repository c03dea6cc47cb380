// The trace switches as a real process sees them: this test starts itself
// again with "/DebugSave" as the last parameter; the child traces, and every
// line is in the file before the child ends.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <iterator>

#include "reporter/config/Trace.h"
#include "reporter/config/TraceFormat.h"

namespace {

std::string ReadAll(const std::string& fileName) {
  std::ifstream file(fileName, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
}

// Runs this executable with the given parameters; returns its exit code.
DWORD RunSelf(const std::string& parameters) {
  char exe[MAX_PATH] = {};
  GetModuleFileNameA(nullptr, exe, MAX_PATH);
  std::string commandLine = "\"" + std::string(exe) + "\" " + parameters;
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  if (!CreateProcessA(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                      &startup, &process))
    return 0xFFFF;
  WaitForSingleObject(process.hProcess, 60000);
  DWORD code = 0xFFFF;
  GetExitCodeProcess(process.hProcess, &code);
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  return code;
}

}  // namespace

// Only does something in the child started below.
TEST(TraceSwitchesWin, ChildTracesEveryLine) {
  if (!GetTraceEnabled() || !GetTraceSaveEachLine()) GTEST_SKIP() << "runs as a child only";
  TraceEnter("Child", {42});
  // The file already holds the line: it is rewritten after each one.
  EXPECT_NE(ReadAll(TraceFileName()).find("] Child(42)\r\n"), std::string::npos);
  // Ends without any shutdown code running: the file must still be complete.
  TraceExit("Child", {"done"});
  std::fflush(nullptr);
  TerminateProcess(GetCurrentProcess(), 0);
}

TEST(TraceSwitchesWin, LastParameterSwitchesTracingOn) {
  if (GetTraceEnabled()) GTEST_SKIP() << "the child does not start children";
  std::string log = TraceFileName();
  std::remove(log.c_str());
  // DEBUG in an earlier parameter does nothing.
  EXPECT_EQ(RunSelf("--gtest_filter=TraceSwitchesWin.ChildTracesEveryLine /DEBUG x"), 0u);
  EXPECT_EQ(ReadAll(log), "");
  EXPECT_EQ(RunSelf("--gtest_filter=TraceSwitchesWin.ChildTracesEveryLine /DebugSave"), 0u);
  std::string text = ReadAll(log);
  EXPECT_EQ(text.rfind("VexlorLog 4.5.8\r\n", 0), 0u) << text;
  EXPECT_NE(text.find(":MainThread] Child(42)\r\n"), std::string::npos) << text;
  EXPECT_NE(text.find(":MainThread] Child=('done')\r\n"), std::string::npos) << text;
  std::remove(log.c_str());
}
