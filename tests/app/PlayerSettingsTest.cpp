// The player's settings in an INI held in memory, the monitor list's lines and
// the version text.
#include "app/PlayerSettings.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "app/MonitorNames.h"
#include "app/VersionText.h"

namespace {

class MemoryIni : public TCustomIniFile {
 public:
  std::map<std::wstring, std::wstring> values;  // "Section/Ident"
  std::vector<std::wstring> writes;

  std::wstring ReadString(const std::wstring& section, const std::wstring& ident,
                          const std::wstring& def) override {
    auto it = values.find(section + L"/" + ident);
    return it == values.end() ? def : it->second;
  }
  void WriteString(const std::wstring& section, const std::wstring& ident,
                   const std::wstring& value) override {
    values[section + L"/" + ident] = value;
    writes.push_back(section + L"/" + ident + L"=" + value);
  }
};

}  // namespace

TEST(PlayerSettings, MissingFileGivesEmptyNameAndTheSecondMonitor) {
  MemoryIni ini;
  FileName = L"stale";
  MonitorIndex = 7;
  ReadPlayerSettings(ini);
  EXPECT_EQ(FileName, L"");
  EXPECT_EQ(MonitorIndex, 1);
  EXPECT_TRUE(ini.writes.empty()) << "reading must not create the file";
}

TEST(PlayerSettings, ReadsStoredValuesIncludingNegativeAndCyrillic) {
  MemoryIni ini;
  ini.values[L"Options/FileName"] = L"D:\\Видео\\зал.avi";
  ini.values[L"Options/Monitor"] = L"-1";
  ReadPlayerSettings(ini);
  EXPECT_EQ(FileName, L"D:\\Видео\\зал.avi");
  EXPECT_EQ(MonitorIndex, -1);
  ini.values[L"Options/Monitor"] = L"second";
  ReadPlayerSettings(ini);
  EXPECT_EQ(MonitorIndex, 1);
}

TEST(PlayerSettings, SaveWritesFileNameThenMonitor) {
  MemoryIni ini;
  FileName = L"C:\\clips\\hall.wmv";
  MonitorIndex = -1;  // nothing selected in the list
  WritePlayerSettings(ini);
  EXPECT_EQ(ini.writes, (std::vector<std::wstring>{L"Options/FileName=C:\\clips\\hall.wmv",
                                                   L"Options/Monitor=-1"}));
}

TEST(PlayerSettings, IniFileSitsBesideTheExecutable) {
  EXPECT_EQ(SettingsFileFor(L"C:\\Program Files\\Kiravane\\KiravaneVP.exe"),
            L"C:\\Program Files\\Kiravane\\KiravaneVP.ini");
  EXPECT_EQ(SettingsFileFor(L"C:\\v1.2\\player"), L"C:\\v1.2\\player.ini");
}

TEST(MonitorNames, PrimaryIsMarkedAndNumbersCountFromOne) {
  EXPECT_EQ(MonitorNames({true, false}),
            (std::vector<std::wstring>{L"Монитор 1 (основной)", L"Монитор 2"}));
  EXPECT_EQ(MonitorNames({false, true, false})[1], L"Монитор 2 (основной)");
  EXPECT_TRUE(MonitorNames({}).empty());
}

TEST(VersionText, FourNumbersFromTheFixedFileVersion) {
  EXPECT_EQ(FormatVersionText(0x00010001, 0x000000F8), L"1.1.0 build 248");
  EXPECT_EQ(FormatVersionText(0xFFFF0002, 0x0003FFFF), L"65535.2.3 build 65535");
  EXPECT_EQ(AboutText(L"Kiravane VideoPlayer", L"1.0.0 build 1"),
            L"\"Kiravane VideoPlayer\" версия 1.0.0 build 1");
}
