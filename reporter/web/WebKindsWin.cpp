// The kind tests' questions answered by Windows: the module's own mapped image,
// the environment, the command line and the Win-CGI INI file.
#include "reporter/web/WebKindsWin.h"

#include <windows.h>

#include "reporter/pipeline/ConsoleReport.h"
#include "reporter/pipeline/ReporterStateWin.h"
#include "reporter/report/SystemInfoWin.h"
#include "reporter/web/WebOutputWin.h"

namespace {

class TWindowsWebKindSystem final : public TWebKindSystem {
 public:
  bool IsConsoleProgram() override { return IsConsoleApplication(); }

  bool IsExtensionLibrary() override {
    // Read from the module's own image (it is mapped whole): asking the
    // loader could wait for its lock, which a raising thread may hold.
    const auto* image = reinterpret_cast<const std::uint8_t*>(ReporterModuleHandle());
    const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(image);
    if (!image || dos->e_magic != IMAGE_DOS_SIGNATURE) return false;
    const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(image + dos->e_lfanew);
    if (nt->Signature != IMAGE_NT_SIGNATURE) return false;
    const std::size_t size = nt->OptionalHeader.SizeOfImage;
    return IsLibraryImage(image, size) && ImageExportsName(image, size, "HttpExtensionProc");
  }

  bool HasEnvironmentVariable(const std::string& name) override {
    return GetEnvironmentVariableA(name.c_str(), nullptr, 0) != 0;
  }

  std::vector<std::string> Arguments() override {
    return PlatformSystemInfo().CommandLineArguments();
  }

  std::optional<std::uint64_t> FileSize(const std::string& name) override {
    HANDLE file = CreateFileA(name.c_str(), GENERIC_READ,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return std::nullopt;
    LARGE_INTEGER size{};
    const bool known = GetFileSizeEx(file, &size) != FALSE;
    CloseHandle(file);
    if (!known) return std::nullopt;
    return static_cast<std::uint64_t>(size.QuadPart);
  }

  std::string IniValue(const std::string& file, const std::string& section,
                       const std::string& key) override {
    char value[2048] = {};
    GetPrivateProfileStringA(section.c_str(), key.c_str(), "", value, sizeof value, file.c_str());
    return value;
  }

  bool FileExists(const std::string& name) override {
    const DWORD attributes = GetFileAttributesA(name.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
  }
};

}  // namespace

namespace {
constinit TWindowsWebKindSystem windowsSystem;
}  // namespace

TWebKindSystem& WindowsWebKindSystem() {
  return windowsSystem;
}

bool IsISAPIApplication() {
  return IsISAPIApplication(WindowsWebKindSystem());
}
bool IsCGIApplication() {
  return IsCGIApplication(WindowsWebKindSystem());
}
bool IsWinCGIApplication() {
  return WinCGIOutputFile(WindowsWebKindSystem()).has_value();
}
bool IsWebApplication() {
  return WebApplicationKind(WindowsWebKindSystem()) != TWebKind::None;
}
bool IsGUIApplication() {
  return IsGUIApplication(WindowsWebKindSystem());
}
