// Which kind of program carries the reporter: an ISAPI extension library, a
// CGI or Win-CGI program, or none of the web kinds. The tests are evaluated
// anew each time from what the system answers (TWebKindSystem); only the
// Win-CGI output file is kept, for the response writer. There is no IntraWeb
// framework in this system: that kind never applies. Portable.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// What the kind tests ask of the system.
class TWebKindSystem {
 public:
  virtual bool IsConsoleProgram() = 0;
  // The reporter's module is a library that exports "HttpExtensionProc".
  virtual bool IsExtensionLibrary() = 0;
  virtual bool HasEnvironmentVariable(const std::string& name) = 0;
  // The program's arguments, without its own name.
  virtual std::vector<std::string> Arguments() = 0;
  // None when the file cannot be opened for reading.
  virtual std::optional<std::uint64_t> FileSize(const std::string& name) = 0;
  // The value of an INI file's key; empty when missing or unreadable.
  virtual std::string IniValue(const std::string& file, const std::string& section,
                               const std::string& key) = 0;
  virtual bool FileExists(const std::string& name) = 0;

 protected:
  // Never deleted through the interface: the system's own answers serve
  // every report, also one made while the process ends.
  ~TWebKindSystem() = default;
};

enum class TWebKind { None, ISAPI, CGI, WinCGI, IntraWeb };

// A Win-CGI request file is at most this long.
constexpr std::uint64_t kWinCGIMaxRequestFileSize = 102400;

bool IsISAPIApplication(TWebKindSystem& system);
bool IsCGIApplication(TWebKindSystem& system);
// The Win-CGI test: the output file named by the third argument or by the
// request file, when this is a Win-CGI run and that file exists.
std::optional<std::string> WinCGIOutputFile(TWebKindSystem& system);
inline bool IsIntraWebApplication() {
  return false;
}
// In the order ISAPI, CGI, Win-CGI, IntraWeb.
TWebKind WebApplicationKind(TWebKindSystem& system);
// Neither a web application nor a console program.
bool IsGUIApplication(TWebKindSystem& system);

// A module image as mapped in memory (offsets are relative virtual
// addresses), size bytes of it readable: an "MZ" header whose offset at 60
// leads to "PE\0\0" and a file header with the library flag (0x2000).
bool IsLibraryImage(const std::uint8_t* image, std::size_t size);
// The image's export directory names the function.
bool ImageExportsName(const std::uint8_t* image, std::size_t size, std::string_view name);
