// The player started in a test folder of its own, waited for and looked at
// through its windows; the built programs and the sample clip are found here.
#include "PlayerProcess.h"

#include <cstdio>

namespace {

std::wstring Parent(const std::wstring& path) {
  size_t slash = path.find_last_of(L"\\/");
  return slash == std::wstring::npos ? path : path.substr(0, slash);
}

BOOL CALLBACK CollectMonitor(HMONITOR monitor, HDC, LPRECT, LPARAM data) {
  MONITORINFO info{};
  info.cbSize = sizeof info;
  GetMonitorInfoW(monitor, &info);
  reinterpret_cast<std::vector<RECT>*>(data)->push_back(info.rcMonitor);
  return TRUE;
}

}  // namespace

std::wstring TestDirectory() {
  wchar_t self[MAX_PATH];
  GetModuleFileNameW(nullptr, self, MAX_PATH);
  return Parent(self);
}

std::wstring BuiltPlayer() {
  return Parent(Parent(TestDirectory())) + L"\\app\\KiravaneVP.exe";
}
std::wstring BuiltTestPlayer() {
  return TestDirectory() + L"\\KiravaneVP_test.exe";
}
std::wstring BuiltFreezeTestPlayer() {
  return TestDirectory() + L"\\KiravaneVP_freeze_test.exe";
}
std::wstring SampleClip() {
  return TestDirectory() + L"\\sample.avi";
}

std::wstring ClassOf(HWND Wnd) {
  wchar_t name[256] = {};
  GetClassNameW(Wnd, name, 256);
  return name;
}

std::wstring TextOf(HWND Wnd) {
  wchar_t text[1024] = {};
  // WM_GETTEXT works across processes where GetWindowText would not.
  SendMessageTimeoutW(Wnd, WM_GETTEXT, 1024, reinterpret_cast<LPARAM>(text), SMTO_ABORTIFHUNG, 5000,
                      nullptr);
  return text;
}

RECT MonitorRect(int Index) {
  std::vector<RECT> rects;
  EnumDisplayMonitors(nullptr, nullptr, CollectMonitor, reinterpret_cast<LPARAM>(&rects));
  return Index < static_cast<int>(rects.size()) ? rects[Index] : RECT{};
}

void Pause(DWORD Milliseconds) {
  DWORD end = GetTickCount() + Milliseconds;
  while (static_cast<LONG>(end - GetTickCount()) > 0) {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
    Sleep(20);
  }
}

TPlayerProcess::TPlayerProcess(const std::wstring& Ini, const std::wstring& Program,
                               const std::wstring& Arguments)
    : arguments_(Arguments) {
  wchar_t temp[MAX_PATH];
  GetTempPathW(MAX_PATH, temp);
  static int counter = 0;
  folder_ = std::wstring(temp) + L"kvp-e2e-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
            std::to_wstring(++counter);
  CreateDirectoryW(folder_.c_str(), nullptr);
  CopyFileW((Program.empty() ? BuiltPlayer() : Program).c_str(), ExePath().c_str(), FALSE);
  DeleteFileW(IniPath().c_str());
  if (!Ini.empty()) {
    FILE* f = _wfopen(IniPath().c_str(), L"wb");
    if (f) {
      // UTF-16 with a byte-order mark, as the player writes it.
      fwrite("\xFF\xFE", 1, 2, f);
      fwrite(Ini.data(), sizeof(wchar_t), Ini.size(), f);
      fclose(f);
    }
  }
}

TPlayerProcess::~TPlayerProcess() {
  if (pi_.hProcess) {
    if (Running()) {
      TerminateProcess(pi_.hProcess, 99);
      WaitForSingleObject(pi_.hProcess, 5000);
    }
    CloseHandle(pi_.hProcess);
    CloseHandle(pi_.hThread);
  }
  // The INI, the program and what it wrote beside itself (its crash log).
  WIN32_FIND_DATAW found{};
  HANDLE search = FindFirstFileW((folder_ + L"\\*").c_str(), &found);
  if (search != INVALID_HANDLE_VALUE) {
    do {
      if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
        DeleteFileW((folder_ + L"\\" + found.cFileName).c_str());
      }
    } while (FindNextFileW(search, &found));
    FindClose(search);
  }
  RemoveDirectoryW(folder_.c_str());
}

bool TPlayerProcess::Start() {
  STARTUPINFOW si{};
  si.cb = sizeof si;
  std::wstring command = L"\"" + ExePath() + L"\"";
  if (!arguments_.empty()) command += L" " + arguments_;
  return CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr,
                        folder_.c_str(), &si, &pi_) != FALSE;
}

bool TPlayerProcess::WaitForExit(DWORD Milliseconds, DWORD* ExitCode) {
  if (WaitForSingleObject(pi_.hProcess, Milliseconds) != WAIT_OBJECT_0) return false;
  if (ExitCode) GetExitCodeProcess(pi_.hProcess, ExitCode);
  return true;
}

bool TPlayerProcess::Running() const {
  return pi_.hProcess && WaitForSingleObject(pi_.hProcess, 0) == WAIT_TIMEOUT;
}

std::vector<TFoundWindow> TPlayerProcess::Windows() const {
  struct Search {
    DWORD pid;
    std::vector<TFoundWindow> found;
  } search{pi_.dwProcessId, {}};
  EnumWindows(
      [](HWND wnd, LPARAM data) -> BOOL {
        auto* s = reinterpret_cast<Search*>(data);
        DWORD pid = 0;
        GetWindowThreadProcessId(wnd, &pid);
        if (pid == s->pid) s->found.push_back({wnd, ClassOf(wnd), TextOf(wnd)});
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&search));
  return search.found;
}

HWND TPlayerProcess::WaitForWindow(const std::wstring& ClassName, DWORD Milliseconds) const {
  DWORD end = GetTickCount() + Milliseconds;
  do {
    for (const TFoundWindow& w : Windows())
      if (w.ClassName == ClassName) return w.Handle;
    Pause(100);
  } while (static_cast<LONG>(end - GetTickCount()) > 0);
  return nullptr;
}

HWND TPlayerProcess::FindChild(HWND Parent, const std::wstring& ClassName,
                               const std::wstring& Text) {
  struct Search {
    const std::wstring& cls;
    const std::wstring& text;
    HWND found;
  } search{ClassName, Text, nullptr};
  EnumChildWindows(
      Parent,
      [](HWND wnd, LPARAM data) -> BOOL {
        auto* s = reinterpret_cast<Search*>(data);
        if (ClassOf(wnd) == s->cls && (s->text.empty() || TextOf(wnd) == s->text)) {
          s->found = wnd;
          return FALSE;
        }
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&search));
  return search.found;
}
