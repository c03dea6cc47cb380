// The questions the report asks the platform. The Windows answers live in
// SystemInfoWin; tests answer them with scripted values. Any method may
// fail by throwing: the collectors in SystemFacts contain every failure.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "reporter/debugdata/ModuleFiles.h"
#include "reporter/report/ReportDate.h"
#include "reporter/report/SystemFormats.h"

struct TMemoryStatus {
  std::uint64_t TotalPhysical = 0;
  std::uint64_t AvailablePhysical = 0;
};

struct TDiskSpace {
  std::uint64_t TotalBytes = 0;
  std::uint64_t FreeBytesAvailable = 0;  // free to the caller, quotas applied
};

class ISystemInfo {
 public:
  virtual ~ISystemInfo() = default;

  // Local time when the reporter started in this process.
  virtual TReportDateTime ApplicationStartTime() = 0;
  virtual TReportDateTime LocalNow() = 0;
  // Hours local time is ahead of UTC at the present moment.
  virtual int ZoneOffsetHours() = 0;

  virtual std::string MainModuleFileName() = 0;
  virtual TFileVersionInfo ReadVersionInfo(const std::string& fileName) = 0;
  // The command-line arguments after the program name.
  virtual std::vector<std::string> CommandLineArguments() = 0;
  // File name of the module holding the address: the program's own for an
  // address in no committed memory, empty for memory outside any module.
  virtual std::string ModuleFileNameOfAddress(std::uint64_t address) = 0;

  virtual std::string ForegroundWindowClass() = 0;
  virtual std::string ForegroundWindowText() = 0;

  virtual std::string ComputerName() = 0;
  virtual std::string UserName() = 0;
  virtual std::optional<TMemoryStatus> MemoryStatus() = 0;
  // Space on the drive that holds the program's file.
  virtual std::optional<TDiskSpace> ProgramDiskSpace() = 0;
  virtual char DecimalSeparator() = 0;

  virtual TOSVersion OSVersion() = 0;
  // Name of the system's default language ("English (United States)").
  virtual std::string SystemLanguageName() = 0;
};
