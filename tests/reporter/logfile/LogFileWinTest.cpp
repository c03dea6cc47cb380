// The log's lock between processes: two that store at the same moment both
// keep every report, and a holder that never lets go cannot hang a store.
#include <windows.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include <gtest/gtest.h>

#include "reporter/logfile/LogFile.h"
#include "reporter/logfile/LogFileAccess.h"
#include "runtime/Streams.h"

TEST(LogFileProcesses, TwoProcessesStoringAtOnceKeepEveryReport) {
  char self[MAX_PATH] = {};
  GetModuleFileNameA(nullptr, self, MAX_PATH);
  const std::filesystem::path folder = std::filesystem::path(self).parent_path();
  const std::string helper = (folder / "log_store_helper.exe").string();
  const std::string log = (std::filesystem::temp_directory_path() /
                           ("two-" + std::to_string(GetCurrentProcessId()) + ".vlf"))
                              .string();
  DeleteFileA(log.c_str());
  constexpr int kEach = 40;
  PROCESS_INFORMATION processes[2] = {};
  for (int i = 0; i < 2; ++i) {
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    std::string command =
        "\"" + helper + "\" \"" + log + "\" P" + std::to_string(i) + " " + std::to_string(kEach);
    ASSERT_TRUE(CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr,
                               nullptr, &startup, &processes[i]));
  }
  for (PROCESS_INFORMATION& process : processes) {
    EXPECT_EQ(WaitForSingleObject(process.hProcess, 120000), WAIT_OBJECT_0);
    DWORD code = 99;
    GetExitCodeProcess(process.hProcess, &code);
    EXPECT_EQ(code, 0u);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
  }
  std::ifstream in(log, std::ios::binary);
  std::stringstream content;
  content << in.rdbuf();
  in.close();
  const auto items = ParseLogItems(content.str());
  EXPECT_EQ(items.size(), 2u * kEach);
  for (int p = 0; p < 2; ++p) {
    for (int i = 0; i < kEach; ++i) {
      const std::string line = "Message: P" + std::to_string(p) + " " + std::to_string(i) + "\r\n";
      EXPECT_NE(content.str().find(line), std::string::npos) << line;
    }
  }
  DeleteFileA(log.c_str());
}

// A lock is held per handle, so a second handle of this process stands for
// another process that stopped while it held the log.
TEST(LogFileProcesses, AStoreGivesUpOnALockThatIsNeverReleased) {
  const std::string log = (std::filesystem::temp_directory_path() /
                           ("held-" + std::to_string(GetCurrentProcessId()) + ".vlf"))
                              .string();
  DeleteFileA(log.c_str());
  auto holder = OpenLogFileHandle(log, true);
  holder->Rewrite("kept\r\n");
  holder->Lock();
  auto store = OpenLogFileHandle(log, false);
  ASSERT_TRUE(store);
  EXPECT_THROW(store->Lock(), EFOpenError);
  EXPECT_EQ(store->ReadAll(), "kept\r\n");  // readers still get through
  holder->Unlock();
  EXPECT_NO_THROW(store->Lock());
  store->Unlock();
  holder.reset();
  store.reset();
  DeleteFileA(log.c_str());
}
