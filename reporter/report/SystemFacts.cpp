#include "reporter/report/SystemFacts.h"

#include <utility>

#include "reporter/report/TextFilters.h"

namespace {

// The report is written after a fault, when anything may fail; one value that
// cannot be read must not cost the rest of the report.
template <typename F>
std::string Guarded(F&& collect, const char* fallback = "") {
  try {
    return std::forward<F>(collect)();
  } catch (...) {
    try {
      return fallback;
    } catch (...) {
      return {};
    }
  }
}

std::string ProgramVersionInfoField(ISystemInfo& info, std::string TFileVersionInfo::*field) {
  return info.ReadVersionInfo(info.MainModuleFileName()).*field;
}

}  // namespace

std::string GetStartDateText(ISystemInfo& info) {
  return Guarded(
      [&] { return FormatReportDate(info.ApplicationStartTime(), info.ZoneOffsetHours()); });
}

std::string GetAppNameText(ISystemInfo& info) {
  return Guarded([&] {
    const std::string fileName = info.MainModuleFileName();
    std::string description = info.ReadVersionInfo(fileName).Description;
    return description.empty() ? ExtractFileName(fileName) : description;
  });
}

std::string GetAppVersionText(ISystemInfo& info) {
  return Guarded([&] { return ProgramVersionInfoField(info, &TFileVersionInfo::Version); });
}

std::string GetParametersText(ISystemInfo& info) {
  return Guarded([&] { return ParametersText(info.CommandLineArguments()); });
}

std::string GetExceptionDateText(ISystemInfo& info, const TReportException& exception) {
  return Guarded([&] { return FormatReportDate(exception.Date, info.ZoneOffsetHours()); });
}

std::string GetExceptionAddressText(const TReportException& exception) {
  return Guarded([&] { return ExceptionAddressText(exception.Address); });
}

std::string GetExceptionModuleText(ISystemInfo& info, const TReportException& exception) {
  return Guarded([&] { return ExtractFileName(info.ModuleFileNameOfAddress(exception.Address)); });
}

std::string GetExceptionTypeText(const TReportException& exception) {
  return Guarded([&] { return ExceptionTypeText(exception.Object); }, "Unknown exception type.");
}

std::string GetExceptionMessageText(const TReportException& exception) {
  return Guarded([&] { return ExceptionMessageText(exception.Object); }, "Unknown error message.");
}

std::string GetFormClassText(ISystemInfo& info) {
  return Guarded([&] { return info.ForegroundWindowClass(); });
}

std::string GetFormText(ISystemInfo& info) {
  return Guarded([&] { return ReplaceControlChars(info.ForegroundWindowText()); });
}

std::string GetComputerNameText(ISystemInfo& info) {
  return Guarded([&] { return info.ComputerName(); });
}

std::string GetUserNameText(ISystemInfo& info) {
  return Guarded([&] { return info.UserName(); });
}

std::string GetTotalMemoryText(ISystemInfo& info) {
  return Guarded([&] {
    const auto status = info.MemoryStatus();
    return status ? MemoryText(status->TotalPhysical) : std::string();
  });
}

std::string GetFreeMemoryText(ISystemInfo& info) {
  return Guarded([&] {
    const auto status = info.MemoryStatus();
    return status ? MemoryText(status->AvailablePhysical) : std::string();
  });
}

std::string GetTotalDiskText(ISystemInfo& info) {
  return Guarded([&] {
    const auto space = info.ProgramDiskSpace();
    return space ? DiskText(space->TotalBytes, info.DecimalSeparator()) : std::string();
  });
}

std::string GetFreeDiskText(ISystemInfo& info) {
  return Guarded([&] {
    const auto space = info.ProgramDiskSpace();
    return space ? DiskText(space->FreeBytesAvailable, info.DecimalSeparator()) : std::string();
  });
}

std::string GetOSTypeText(ISystemInfo& info) {
  return Guarded([&] { return OSTypeText(info.OSVersion()); }, "Microsoft Windows ");
}

std::string GetOSBuildText(ISystemInfo& info) {
  return Guarded([&] { return OSBuildText(info.OSVersion()); });
}

std::string GetOSUpdateText(ISystemInfo& info) {
  return Guarded([&] { return OSUpdateText(info.OSVersion()); });
}

std::string GetOSLanguageText(ISystemInfo& info) {
  return Guarded([&] { return info.SystemLanguageName(); });
}

TReportFacts CollectReportFacts(ISystemInfo& info, const TReportException& exception) {
  TReportFacts facts;
  facts.StartDate = GetStartDateText(info);
  facts.AppName = GetAppNameText(info);
  facts.AppVersion = GetAppVersionText(info);
  facts.Parameters = GetParametersText(info);
  facts.ExceptionDate = GetExceptionDateText(info, exception);
  facts.ExceptionAddress = GetExceptionAddressText(exception);
  facts.ExceptionModule = GetExceptionModuleText(info, exception);
  facts.ExceptionType = GetExceptionTypeText(exception);
  facts.ExceptionMessage = GetExceptionMessageText(exception);
  facts.FormClass = GetFormClassText(info);
  facts.FormText = GetFormText(info);
  facts.ControlClass = Guarded([&] { return exception.FocusedClassName; });
  facts.ControlText = Guarded([&] { return exception.FocusedText; });
  facts.ComputerName = GetComputerNameText(info);
  facts.UserName = GetUserNameText(info);
  facts.TotalMemory = GetTotalMemoryText(info);
  facts.FreeMemory = GetFreeMemoryText(info);
  facts.TotalDisk = GetTotalDiskText(info);
  facts.FreeDisk = GetFreeDiskText(info);
  facts.OSType = GetOSTypeText(info);
  facts.OSBuild = GetOSBuildText(info);
  facts.OSUpdate = GetOSUpdateText(info);
  facts.OSLanguage = GetOSLanguageText(info);
  return facts;
}
