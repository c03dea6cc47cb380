// Scripted platform answers for the report's collectors.
#pragma once

#include <stdexcept>

#include "reporter/report/SystemInfo.h"

class TFakeSystemInfo : public ISystemInfo {
 public:
  bool Fail = false;  // every question throws

  TReportDateTime StartTime{2026, 12, 7, 9, 12, 5, 0};
  TReportDateTime Now{2026, 12, 7, 9, 40, 51, 0};
  int Zone = 3;
  std::string ProgramFile = "C:\\Kiosk\\player.exe";
  TFileVersionInfo ProgramVersion{"Video Player", "1.1.0.248"};
  std::vector<std::string> Arguments;
  std::string ModuleOfAddress = "C:\\Kiosk\\player.exe";
  std::string FormClass = "TfrmMain";
  std::string FormText = "Settings";
  std::string Computer = "KIOSK-01";
  std::string User = "operator";
  std::optional<TMemoryStatus> Memory = TMemoryStatus{536326144, 212860928};
  std::optional<TDiskSpace> Disk = TDiskSpace{40007729152ull, 13314398618ull};
  char Separator = '.';
  TOSVersion Version{2, 5, 1, 2600, "Service Pack 2"};
  std::string Language = "English (United States)";

  TReportDateTime ApplicationStartTime() override { return Check(StartTime); }
  TReportDateTime LocalNow() override { return Check(Now); }
  int ZoneOffsetHours() override { return Check(Zone); }
  std::string MainModuleFileName() override { return Check(ProgramFile); }
  TFileVersionInfo ReadVersionInfo(const std::string& fileName) override {
    return Check(fileName == ProgramFile ? ProgramVersion : TFileVersionInfo{});
  }
  std::vector<std::string> CommandLineArguments() override { return Check(Arguments); }
  std::string ModuleFileNameOfAddress(std::uint64_t) override { return Check(ModuleOfAddress); }
  std::string ForegroundWindowClass() override { return Check(FormClass); }
  std::string ForegroundWindowText() override { return Check(FormText); }
  std::string ComputerName() override { return Check(Computer); }
  std::string UserName() override { return Check(User); }
  std::optional<TMemoryStatus> MemoryStatus() override { return Check(Memory); }
  std::optional<TDiskSpace> ProgramDiskSpace() override { return Check(Disk); }
  char DecimalSeparator() override { return Check(Separator); }
  TOSVersion OSVersion() override { return Check(Version); }
  std::string SystemLanguageName() override { return Check(Language); }

 private:
  template <typename T>
  T Check(const T& value) {
    if (Fail) throw std::runtime_error("platform failure");
    return value;
  }
};
