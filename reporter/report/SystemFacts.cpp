// The collectors of the header block's values, each guarded so that a value
// that cannot be read leaves its fallback and costs nothing else.
#include "reporter/report/SystemFacts.h"

#include <utility>

#include "reporter/config/Trace.h"
#include "reporter/config/TraceFormat.h"
#include "reporter/report/TextFilters.h"
#include "runtime/FileNames.h"

namespace {

// The report is written after a fault, when anything may fail; one value that
// cannot be read must not cost the rest of the report.
template <typename F>
std::string Guarded(const char* routine, F&& collect, const char* fallback = "") {
  std::string result;
  try {
    TraceEnter(routine);
    result = std::forward<F>(collect)();
  } catch (...) {
    try {
      result = fallback;
    } catch (...) {
      result.clear();
    }
  }
  try {
    TraceExit(routine, {result});
  } catch (...) {
  }
  return result;
}

std::string ProgramVersionInfoField(ISystemInfo& info, std::string TFileVersionInfo::*field) {
  return info.ReadVersionInfo(info.MainModuleFileName()).*field;
}

}  // namespace

std::string GetStartDateText(ISystemInfo& info) {
  return Guarded("GetStartDateText", [&] {
    return FormatReportDate(info.ApplicationStartTime(), info.ZoneOffsetHours());
  });
}

std::string GetAppNameText(ISystemInfo& info) {
  return Guarded("GetAppNameText", [&] {
    const std::string fileName = info.MainModuleFileName();
    std::string description = info.ReadVersionInfo(fileName).Description;
    return description.empty() ? ExtractFileName(fileName) : description;
  });
}

std::string GetAppVersionText(ISystemInfo& info) {
  return Guarded("GetAppVersionText",
                 [&] { return ProgramVersionInfoField(info, &TFileVersionInfo::Version); });
}

std::string GetParametersText(ISystemInfo& info) {
  return Guarded("GetParametersText", [&] { return ParametersText(info.CommandLineArguments()); });
}

std::string GetExceptionDateText(ISystemInfo& info, const TReportException& exception) {
  return Guarded("GetExceptionDateText",
                 [&] { return FormatReportDate(exception.Date, info.ZoneOffsetHours()); });
}

std::string GetExceptionAddressText(const TReportException& exception) {
  return Guarded("GetExceptionAddressText",
                 [&] { return ExceptionAddressText(exception.Address); });
}

std::string GetExceptionModuleText(ISystemInfo& info, const TReportException& exception) {
  return Guarded("GetExceptionModuleText",
                 [&] { return ExtractFileName(info.ModuleFileNameOfAddress(exception.Address)); });
}

std::string GetExceptionTypeText(const TReportException& exception) {
  return Guarded(
      "GetExceptionTypeText", [&] { return ExceptionTypeText(exception.Object); },
      "Unknown exception type.");
}

std::string GetExceptionMessageText(const TReportException& exception) {
  return Guarded(
      "GetExceptionMessageText", [&] { return ExceptionMessageText(exception.Object); },
      "Unknown error message.");
}

std::string GetFormClassText(ISystemInfo& info) {
  return Guarded("GetFormClassText", [&] { return info.ForegroundWindowClass(); });
}

std::string GetFormText(ISystemInfo& info) {
  return Guarded("GetFormText", [&] { return ReplaceControlChars(info.ForegroundWindowText()); });
}

std::string GetComputerNameText(ISystemInfo& info) {
  return Guarded("GetComputerNameText", [&] { return info.ComputerName(); });
}

std::string GetUserNameText(ISystemInfo& info) {
  return Guarded("GetUserNameText", [&] { return info.UserName(); });
}

std::string GetTotalMemoryText(ISystemInfo& info) {
  return Guarded("GetTotalMemoryText", [&] {
    const auto status = info.MemoryStatus();
    return status ? MemoryText(status->TotalPhysical) : std::string();
  });
}

std::string GetFreeMemoryText(ISystemInfo& info) {
  return Guarded("GetFreeMemoryText", [&] {
    const auto status = info.MemoryStatus();
    return status ? MemoryText(status->AvailablePhysical) : std::string();
  });
}

std::string GetTotalDiskText(ISystemInfo& info) {
  return Guarded("GetTotalDiskText", [&] {
    const auto space = info.ProgramDiskSpace();
    return space ? DiskText(space->TotalBytes, info.DecimalSeparator()) : std::string();
  });
}

std::string GetFreeDiskText(ISystemInfo& info) {
  return Guarded("GetFreeDiskText", [&] {
    const auto space = info.ProgramDiskSpace();
    return space ? DiskText(space->FreeBytesAvailable, info.DecimalSeparator()) : std::string();
  });
}

std::string GetOSTypeText(ISystemInfo& info) {
  return Guarded(
      "GetOSTypeText", [&] { return OSTypeText(info.OSVersion()); }, "Microsoft Windows ");
}

std::string GetOSBuildText(ISystemInfo& info) {
  return Guarded("GetOSBuildText", [&] { return OSBuildText(info.OSVersion()); });
}

std::string GetOSUpdateText(ISystemInfo& info) {
  return Guarded("GetOSUpdateText", [&] { return OSUpdateText(info.OSVersion()); });
}

std::string GetOSLanguageText(ISystemInfo& info) {
  return Guarded("GetOSLanguageText", [&] { return info.SystemLanguageName(); });
}

TReportFacts CollectReportFacts(ISystemInfo& info, const TReportException& exception) {
  TraceEnter("CollectReportFacts");
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
  facts.ControlClass = Guarded("FocusedClassName", [&] { return exception.FocusedClassName; });
  facts.ControlText = Guarded("FocusedText", [&] { return exception.FocusedText; });
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
  TraceExit("CollectReportFacts");
  return facts;
}
