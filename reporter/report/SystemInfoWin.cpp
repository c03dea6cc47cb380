// The system's answers for the report: times, names, memory, disk, and the
// version from the kernel's own call; texts in the system code page.
#include "reporter/report/SystemInfoWin.h"

#include <windows.h>
#include <lmcons.h>
#include <shellapi.h>

#include <memory>

#include "reporter/debugdata/ModuleFiles.h"
#include "reporter/report/SystemLanguageWin.h"
#include "reporter/report/TextFilters.h"
#include "runtime/FileNames.h"

namespace {

TReportDateTime FromSystemTime(const SYSTEMTIME& t) {
  return {t.wYear, t.wMonth, t.wDay, t.wHour, t.wMinute, t.wSecond, t.wMilliseconds};
}

TReportDateTime CurrentLocalTime() {
  SYSTEMTIME now;
  GetLocalTime(&now);
  return FromSystemTime(now);
}

// Taken while the program starts, before the first report can be made.
const TReportDateTime applicationStart = CurrentLocalTime();

std::string ToSystemCodePage(const wchar_t* text) {
  const int bytes = WideCharToMultiByte(CP_ACP, 0, text, -1, nullptr, 0, nullptr, nullptr);
  if (bytes <= 1) return {};
  std::string result(static_cast<std::size_t>(bytes), '\0');
  WideCharToMultiByte(CP_ACP, 0, text, -1, result.data(), bytes, nullptr, nullptr);
  result.resize(static_cast<std::size_t>(bytes - 1));
  return result;
}

struct LocalFreeDeleter {
  void operator()(void* memory) const { LocalFree(memory); }
};

}  // namespace

TReportDateTime TWindowsSystemInfo::ApplicationStartTime() {
  return applicationStart;
}

TReportDateTime TWindowsSystemInfo::LocalNow() {
  return CurrentLocalTime();
}

int TWindowsSystemInfo::ZoneOffsetHours() {
  SYSTEMTIME local;
  SYSTEMTIME utc;
  GetLocalTime(&local);
  GetSystemTime(&utc);
  return ::ZoneOffsetHours(FromSystemTime(local), FromSystemTime(utc));
}

std::string TWindowsSystemInfo::MainModuleFileName() {
  return ModuleFileName(0);
}

TFileVersionInfo TWindowsSystemInfo::ReadVersionInfo(const std::string& fileName) {
  return ::ReadVersionInfo(fileName);
}

std::vector<std::string> TWindowsSystemInfo::CommandLineArguments() {
  // The arguments as the program's own start-up code splits them.
  int count = 0;
  std::unique_ptr<LPWSTR, LocalFreeDeleter> arguments(
      CommandLineToArgvW(GetCommandLineW(), &count));
  std::vector<std::string> result;
  if (!arguments) return result;
  for (int i = 1; i < count; ++i) result.push_back(ToSystemCodePage(arguments.get()[i]));
  return result;
}

std::string TWindowsSystemInfo::ModuleFileNameOfAddress(std::uint64_t address) {
  MEMORY_BASIC_INFORMATION region{};
  std::uintptr_t module = 0;
  if (VirtualQuery(reinterpret_cast<const void*>(address), &region, sizeof region) != 0 &&
      region.State == MEM_COMMIT) {
    module = reinterpret_cast<std::uintptr_t>(region.AllocationBase);
  }
  return ModuleFileName(module);
}

std::string TWindowsSystemInfo::ForegroundWindowClass() {
  const HWND window = GetForegroundWindow();
  if (window == nullptr) return {};
  char buffer[256] = {};
  const int length = GetClassNameA(window, buffer, sizeof buffer);
  return length > 0 ? std::string(buffer, static_cast<std::size_t>(length)) : std::string();
}

std::string TWindowsSystemInfo::ForegroundWindowText() {
  const HWND window = GetForegroundWindow();
  if (window == nullptr) return {};
  // DefWindowProcA reads the caption without a message to the window's
  // thread, which may be the very thread that is blocked by the exception.
  char buffer[256] = {};
  const LRESULT length =
      DefWindowProcA(window, WM_GETTEXT, sizeof buffer, reinterpret_cast<LPARAM>(buffer));
  if (length <= 0) return {};
  return std::string(buffer, strnlen(buffer, sizeof buffer));
}

std::string TWindowsSystemInfo::ComputerName() {
  char buffer[MAX_COMPUTERNAME_LENGTH + 1] = {};
  DWORD size = sizeof buffer;
  if (!GetComputerNameA(buffer, &size)) return {};
  return std::string(buffer, strnlen(buffer, sizeof buffer));
}

std::string TWindowsSystemInfo::UserName() {
  char buffer[UNLEN + 1] = {};
  DWORD size = sizeof buffer;
  if (!GetUserNameA(buffer, &size)) return {};
  return std::string(buffer, strnlen(buffer, sizeof buffer));
}

std::optional<TMemoryStatus> TWindowsSystemInfo::MemoryStatus() {
  // The 64-bit form: GlobalMemoryStatus caps its sizes at 4 GiB.
  MEMORYSTATUSEX status{};
  status.dwLength = sizeof status;
  if (!GlobalMemoryStatusEx(&status)) return std::nullopt;
  return TMemoryStatus{status.ullTotalPhys, status.ullAvailPhys};
}

std::optional<TDiskSpace> TWindowsSystemInfo::ProgramDiskSpace() {
  const std::string drive = ExtractFileDrive(MainModuleFileName());
  if (drive.empty()) return std::nullopt;
  const std::string root = drive + "\\";
  ULARGE_INTEGER freeToCaller{};
  ULARGE_INTEGER total{};
  if (!GetDiskFreeSpaceExA(root.c_str(), &freeToCaller, &total, nullptr)) return std::nullopt;
  return TDiskSpace{total.QuadPart, freeToCaller.QuadPart};
}

char TWindowsSystemInfo::DecimalSeparator() {
  char buffer[8] = {};
  if (GetLocaleInfoA(LOCALE_USER_DEFAULT, LOCALE_SDECIMAL, buffer, sizeof buffer) < 2) return '.';
  return buffer[0];
}

TOSVersion TWindowsSystemInfo::OSVersion() {
  // GetVersionExA reports an old version to programs without a compatibility
  // manifest; the kernel's own call tells the truth.
  using RtlGetVersionProc = LONG(WINAPI*)(OSVERSIONINFOEXW*);
  const HMODULE ntdll = GetModuleHandleA("ntdll.dll");
  const auto rtlGetVersion = ntdll ? reinterpret_cast<RtlGetVersionProc>(reinterpret_cast<void*>(
                                         GetProcAddress(ntdll, "RtlGetVersion")))
                                   : nullptr;
  OSVERSIONINFOEXW info{};
  info.dwOSVersionInfoSize = sizeof info;
  if (rtlGetVersion != nullptr && rtlGetVersion(&info) == 0) {
    return {info.dwPlatformId, info.dwMajorVersion, info.dwMinorVersion, info.dwBuildNumber,
            ToSystemCodePage(info.szCSDVersion)};
  }
  OSVERSIONINFOA fallback{};
  fallback.dwOSVersionInfoSize = sizeof fallback;
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
  if (!GetVersionExA(&fallback)) return {};
#pragma GCC diagnostic pop
  return {fallback.dwPlatformId, fallback.dwMajorVersion, fallback.dwMinorVersion,
          fallback.dwBuildNumber,
          std::string(fallback.szCSDVersion, strnlen(fallback.szCSDVersion, 128))};
}

std::string TWindowsSystemInfo::SystemLanguageName() {
  return SystemDefaultLanguageName();
}

// Never destroyed, and built by the reporter's start-up: a report made while
// the process exits (the exit lock held by the faulting thread) must not
// register a destructor.
ISystemInfo& PlatformSystemInfo() {
  static TWindowsSystemInfo& info = *new TWindowsSystemInfo;
  return info;
}

std::string FormatReportDate(const TReportDateTime& value) {
  return FormatReportDate(value, PlatformSystemInfo().ZoneOffsetHours());
}
