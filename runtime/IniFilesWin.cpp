// INI strings through the private-profile functions, a value read again into a
// larger buffer when it fills the first.
#include "runtime/IniFilesWin.h"

#include <windows.h>

#include <vector>

std::wstring TIniFile::ReadString(const std::wstring& Section, const std::wstring& Ident,
                                  const std::wstring& Default) {
  std::vector<wchar_t> buffer(2048);
  for (;;) {
    DWORD got =
        GetPrivateProfileStringW(Section.c_str(), Ident.c_str(), Default.c_str(), buffer.data(),
                                 static_cast<DWORD>(buffer.size()), fileName_.c_str());
    // A full buffer means the value may have been cut: try a larger one.
    if (got < buffer.size() - 1 || buffer.size() >= 1 << 20)
      return std::wstring(buffer.data(), got);
    buffer.resize(buffer.size() * 4);
  }
}

void TIniFile::WriteString(const std::wstring& Section, const std::wstring& Ident,
                           const std::wstring& Value) {
  if (GetFileAttributesW(fileName_.c_str()) == INVALID_FILE_ATTRIBUTES) {
    HANDLE file = CreateFileW(fileName_.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file != INVALID_HANDLE_VALUE) {
      static const unsigned char bom[] = {0xFF, 0xFE};
      DWORD written = 0;
      WriteFile(file, bom, sizeof bom, &written, nullptr);
      CloseHandle(file);
    }
  }
  WritePrivateProfileStringW(Section.c_str(), Ident.c_str(), Value.c_str(), fileName_.c_str());
}
