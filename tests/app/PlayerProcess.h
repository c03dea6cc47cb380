// Starts a copy of KiravaneVP.exe in a folder of its own (so its INI is
// private to one test) and looks at its windows from outside.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

struct TFoundWindow {
  HWND Handle;
  std::wstring ClassName;
  std::wstring Text;
};

class TPlayerProcess {
 public:
  // Folder and INI are made now; Ini is written as given (empty: no file).
  // Program: the player build to copy (BuiltPlayer() when empty), started
  // with Arguments.
  explicit TPlayerProcess(const std::wstring& Ini, const std::wstring& Program = L"",
                          const std::wstring& Arguments = L"");
  ~TPlayerProcess();

  bool Start();
  // Waits for the process to end; false on time-out.
  bool WaitForExit(DWORD Milliseconds, DWORD* ExitCode = nullptr);
  bool Running() const;

  // The top-level windows of the process (visible or not).
  std::vector<TFoundWindow> Windows() const;
  // Polls until a top-level window of ClassName exists.
  HWND WaitForWindow(const std::wstring& ClassName, DWORD Milliseconds) const;
  // The first child of Parent (at any depth) with that class and text.
  static HWND FindChild(HWND Parent, const std::wstring& ClassName, const std::wstring& Text);

  const std::wstring& Folder() const { return folder_; }
  std::wstring ExePath() const { return folder_ + L"\\KiravaneVP.exe"; }
  std::wstring IniPath() const { return folder_ + L"\\KiravaneVP.ini"; }
  DWORD ProcessId() const { return pi_.dwProcessId; }

 private:
  std::wstring folder_;
  std::wstring arguments_;
  PROCESS_INFORMATION pi_{};
};

// Beside the test executable: the build's player and the sample clip.
std::wstring TestDirectory();
std::wstring BuiltPlayer();
// The player's test build, with its fault trigger (PlayerFaults.cpp).
std::wstring BuiltTestPlayer();
// The test build whose freeze detection reports after one second.
std::wstring BuiltFreezeTestPlayer();
std::wstring SampleClip();
std::wstring ClassOf(HWND Wnd);
std::wstring TextOf(HWND Wnd);
RECT MonitorRect(int Index);
// Runs pending messages of this process while waiting.
void Pause(DWORD Milliseconds);
