// The version as "major.minor.release build N", and the About box's line.
#include "app/VersionText.h"

std::wstring FormatVersionText(uint32_t FileVersionMS, uint32_t FileVersionLS) {
  return std::to_wstring(FileVersionMS >> 16) + L"." + std::to_wstring(FileVersionMS & 0xFFFF) +
         L"." + std::to_wstring(FileVersionLS >> 16) + L" build " +
         std::to_wstring(FileVersionLS & 0xFFFF);
}

std::wstring AboutText(const std::wstring& Caption, const std::wstring& Version) {
  return L"\"" + Caption + L"\" версия " + Version;
}
