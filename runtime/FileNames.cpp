// Parts of Windows file names.
#include "runtime/FileNames.h"

namespace {

bool IsPathDelimiter(char c) {
  return c == '\\' || c == '/';
}

// Length of the folder part including its trailing delimiter (or drive colon).
std::size_t FolderLength(std::string_view path) {
  const std::size_t last = path.find_last_of("\\/:");
  return last == std::string_view::npos ? 0 : last + 1;
}

}  // namespace

std::string ExtractFilePath(std::string_view fileName) {
  std::size_t slash = fileName.find_last_of("\\/:");
  return slash == std::string_view::npos ? std::string()
                                         : std::string(fileName.substr(0, slash + 1));
}

std::string ExtractFileName(std::string_view fileName) {
  std::size_t slash = fileName.find_last_of("\\/:");
  return std::string(slash == std::string_view::npos ? fileName : fileName.substr(slash + 1));
}

std::string ExtractFileExt(std::string_view fileName) {
  std::size_t dot = fileName.find_last_of(".\\/:");
  if (dot == std::string_view::npos || fileName[dot] != '.') return {};
  return std::string(fileName.substr(dot));
}

std::string ChangeFileExt(std::string_view fileName, std::string_view newExtension) {
  std::string ext = ExtractFileExt(fileName);
  return std::string(fileName.substr(0, fileName.size() - ext.size())) + std::string(newExtension);
}

std::wstring ChangeFileExt(const std::wstring& fileName, const std::wstring& newExtension) {
  size_t dot = fileName.find_last_of(L".\\/:");
  if (dot == std::wstring::npos || fileName[dot] != L'.') return fileName + newExtension;
  return fileName.substr(0, dot) + newExtension;
}

std::string ExtractFileDir(std::string_view path) {
  std::string_view folder = path.substr(0, FolderLength(path));
  // A delimiter that follows a drive colon or another delimiter is the root
  // ("C:\", "\"), which only makes sense with its backslash.
  if (folder.size() > 1 && IsPathDelimiter(folder.back()) && folder[folder.size() - 2] != ':' &&
      !IsPathDelimiter(folder[folder.size() - 2])) {
    folder.remove_suffix(1);
  }
  return std::string(folder);
}

std::string ExtractFileDrive(std::string_view path) {
  if (path.size() >= 2 && path[1] == ':') return std::string(path.substr(0, 2));
  if (path.size() >= 2 && IsPathDelimiter(path[0]) && IsPathDelimiter(path[1])) {
    // "\\server\share": up to the delimiter after the share name.
    std::size_t delimiters = 0;
    std::size_t i = 2;
    for (; i < path.size(); ++i) {
      if (IsPathDelimiter(path[i]) && ++delimiters == 2) break;
    }
    return std::string(path.substr(0, i));
  }
  return {};
}
