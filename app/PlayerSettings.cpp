// The file name and the monitor index, kept in the INI file's Options section.
#include "app/PlayerSettings.h"
#include "runtime/FileNames.h"

std::wstring FileName;
int MonitorIndex = 0;

namespace {
const wchar_t kSection[] = L"Options";
}

std::wstring SettingsFileFor(const std::wstring& ExePath) {
  return ChangeFileExt(ExePath, L".ini");
}

void ReadPlayerSettings(TCustomIniFile& Ini) {
  FileName = Ini.ReadString(kSection, L"FileName", L"");
  MonitorIndex = Ini.ReadInteger(kSection, L"Monitor", 1);
}

void WritePlayerSettings(TCustomIniFile& Ini) {
  Ini.WriteString(kSection, L"FileName", FileName);
  Ini.WriteInteger(kSection, L"Monitor", MonitorIndex);
}
