// The Windows tests assume a two-monitor display and a prefix in which a
// crashing child process ends instead of waiting on a debugger dialog.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

TEST(WineHarness, DisplayHasTwoMonitors) {
  EXPECT_EQ(GetSystemMetrics(SM_CMONITORS), 2);
}

TEST(WineHarness, CrashingChildEndsWithoutDebuggerDialog) {
  wchar_t self[MAX_PATH];
  ASSERT_GT(GetModuleFileNameW(nullptr, self, MAX_PATH), 0u);
  std::wstring command = L"\"" + std::wstring(self) + L"\" --gtest_filter=WineHarnessChild.*";
  SetEnvironmentVariableW(L"VEXLOR_HARNESS_CHILD", L"1");
  STARTUPINFOW si{};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi{};
  ASSERT_TRUE(CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                             &si, &pi));
  SetEnvironmentVariableW(L"VEXLOR_HARNESS_CHILD", nullptr);
  DWORD waited = WaitForSingleObject(pi.hProcess, 30000);
  DWORD code = 0;
  GetExitCodeProcess(pi.hProcess, &code);
  if (waited != WAIT_OBJECT_0) TerminateProcess(pi.hProcess, 1);
  CloseHandle(pi.hThread);
  CloseHandle(pi.hProcess);
  ASSERT_EQ(waited, static_cast<DWORD>(WAIT_OBJECT_0));
  EXPECT_EQ(code, static_cast<DWORD>(EXCEPTION_ACCESS_VIOLATION));
}

TEST(WineHarnessChild, Crash) {
  if (GetEnvironmentVariableW(L"VEXLOR_HARNESS_CHILD", nullptr, 0) == 0) GTEST_SKIP();
  SetUnhandledExceptionFilter(nullptr);
  volatile int* nowhere = nullptr;
  *nowhere = 1;
}
