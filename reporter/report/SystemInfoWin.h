// The report's questions answered by Windows.
#pragma once

#include "reporter/report/SystemInfo.h"

class TWindowsSystemInfo : public ISystemInfo {
 public:
  TReportDateTime ApplicationStartTime() override;
  TReportDateTime LocalNow() override;
  int ZoneOffsetHours() override;
  std::string MainModuleFileName() override;
  TFileVersionInfo ReadVersionInfo(const std::string& fileName) override;
  std::vector<std::string> CommandLineArguments() override;
  std::string ModuleFileNameOfAddress(std::uint64_t address) override;
  std::string ForegroundWindowClass() override;
  std::string ForegroundWindowText() override;
  std::string ComputerName() override;
  std::string UserName() override;
  std::optional<TMemoryStatus> MemoryStatus() override;
  std::optional<TDiskSpace> ProgramDiskSpace() override;
  char DecimalSeparator() override;
  TOSVersion OSVersion() override;
  std::string SystemLanguageName() override;
};

// The process's one instance; it keeps no state of its own.
ISystemInfo& PlatformSystemInfo();

// The value in the report date format with the zone of the present moment
// (also the e-mail "Date" header).
std::string FormatReportDate(const TReportDateTime& value);
