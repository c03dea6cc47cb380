// The kind tests over the system's answers, and the reading of a module image's
// header and export table to tell an extension library.
#include "reporter/web/WebKinds.h"

#include <cstring>

namespace {

constexpr std::uint16_t kLibraryFlag = 0x2000;

template <class T>
bool ReadAt(const std::uint8_t* image, std::size_t size, std::uint64_t offset, T& value) {
  if (offset > size || size - offset < sizeof(T)) return false;
  std::memcpy(&value, image + offset, sizeof(T));
  return true;
}

// Offset of "PE\0\0", or none.
std::optional<std::uint32_t> PeHeaderOffset(const std::uint8_t* image, std::size_t size) {
  std::uint16_t mz = 0;
  std::uint32_t offset = 0, signature = 0;
  if (!image || !ReadAt(image, size, 0, mz) || mz != 0x5A4D) return std::nullopt;
  if (!ReadAt(image, size, 60, offset) || !ReadAt(image, size, offset, signature) ||
      signature != 0x00004550)
    return std::nullopt;
  return offset;
}

}  // namespace

bool IsISAPIApplication(TWebKindSystem& system) {
  return system.IsExtensionLibrary();
}

bool IsCGIApplication(TWebKindSystem& system) {
  return system.IsConsoleProgram() && system.HasEnvironmentVariable("REQUEST_METHOD");
}

std::optional<std::string> WinCGIOutputFile(TWebKindSystem& system) {
  if (system.IsConsoleProgram()) return std::nullopt;
  const std::vector<std::string> arguments = system.Arguments();
  if (arguments.empty() || arguments[0].empty()) return std::nullopt;
  const std::string& requestFile = arguments[0];
  const std::optional<std::uint64_t> size = system.FileSize(requestFile);
  if (!size || *size > kWinCGIMaxRequestFileSize) return std::nullopt;
  if (system.IniValue(requestFile, "CGI", "Request Method").empty()) return std::nullopt;
  std::string output = arguments.size() > 2 ? arguments[2] : std::string();
  if (output.empty()) output = system.IniValue(requestFile, "System", "Output File");
  if (output.empty() || !system.FileExists(output)) return std::nullopt;
  return output;
}

TWebKind WebApplicationKind(TWebKindSystem& system) {
  if (IsISAPIApplication(system)) return TWebKind::ISAPI;
  if (IsCGIApplication(system)) return TWebKind::CGI;
  if (WinCGIOutputFile(system)) return TWebKind::WinCGI;
  if (IsIntraWebApplication()) return TWebKind::IntraWeb;
  return TWebKind::None;
}

bool IsGUIApplication(TWebKindSystem& system) {
  return WebApplicationKind(system) == TWebKind::None && !system.IsConsoleProgram();
}

bool IsLibraryImage(const std::uint8_t* image, std::size_t size) {
  const std::optional<std::uint32_t> pe = PeHeaderOffset(image, size);
  std::uint16_t characteristics = 0;
  // The file header follows the signature; its flags are its last field.
  return pe && ReadAt(image, size, std::uint64_t{*pe} + 4 + 18, characteristics) &&
         (characteristics & kLibraryFlag) != 0;
}

bool ImageExportsName(const std::uint8_t* image, std::size_t size, std::string_view name) {
  const std::optional<std::uint32_t> pe = PeHeaderOffset(image, size);
  if (!pe) return false;
  // The optional header: its magic tells where the data directories begin.
  const std::uint64_t optional = std::uint64_t{*pe} + 4 + 20;
  std::uint16_t magic = 0;
  if (!ReadAt(image, size, optional, magic)) return false;
  const std::uint64_t directories = optional + (magic == 0x20B ? 112 : 96);
  std::uint32_t exportRva = 0, exportSize = 0;
  if (!ReadAt(image, size, directories, exportRva) ||
      !ReadAt(image, size, directories + 4, exportSize) || exportRva == 0 || exportSize == 0)
    return false;
  std::uint32_t count = 0, namesRva = 0;
  if (!ReadAt(image, size, std::uint64_t{exportRva} + 24, count) ||
      !ReadAt(image, size, std::uint64_t{exportRva} + 32, namesRva))
    return false;
  for (std::uint32_t i = 0; i < count; ++i) {
    std::uint32_t nameRva = 0;
    if (!ReadAt(image, size, std::uint64_t{namesRva} + 4ull * i, nameRva)) return false;
    if (nameRva >= size) return false;
    const auto* text = reinterpret_cast<const char*>(image + nameRva);
    const std::size_t room = size - nameRva;
    if (room > name.size() && std::memcmp(text, name.data(), name.size()) == 0 &&
        text[name.size()] == '\0')
      return true;
  }
  return false;
}
