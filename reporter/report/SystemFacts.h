// The values of the report's header block, one collector per line. Each
// collector returns a text and never throws: a platform that cannot answer
// gives the collector's fallback (mostly an empty text).
#pragma once

#include <cstdint>
#include <string>

#include "reporter/report/ReportDate.h"
#include "reporter/report/SystemFormats.h"
#include "reporter/report/SystemInfo.h"

// What the capture side knows of one exception, as plain values.
struct TReportException {
  TReportExceptionObject Object;
  std::uint64_t Address = 0;
  TReportDateTime Date;          // local time when the exception was taken up
  std::string FocusedClassName;  // captured in the faulting thread
  std::string FocusedText;       // password edits already masked
};

std::string GetStartDateText(ISystemInfo& info);
std::string GetAppNameText(ISystemInfo& info);
std::string GetAppVersionText(ISystemInfo& info);
std::string GetParametersText(ISystemInfo& info);

std::string GetExceptionDateText(ISystemInfo& info, const TReportException& exception);
std::string GetExceptionAddressText(const TReportException& exception);
std::string GetExceptionModuleText(ISystemInfo& info, const TReportException& exception);
std::string GetExceptionTypeText(const TReportException& exception);
std::string GetExceptionMessageText(const TReportException& exception);

std::string GetFormClassText(ISystemInfo& info);
std::string GetFormText(ISystemInfo& info);

std::string GetComputerNameText(ISystemInfo& info);
std::string GetUserNameText(ISystemInfo& info);
std::string GetTotalMemoryText(ISystemInfo& info);
std::string GetFreeMemoryText(ISystemInfo& info);
std::string GetTotalDiskText(ISystemInfo& info);
std::string GetFreeDiskText(ISystemInfo& info);

std::string GetOSTypeText(ISystemInfo& info);
std::string GetOSBuildText(ISystemInfo& info);
std::string GetOSUpdateText(ISystemInfo& info);
std::string GetOSLanguageText(ISystemInfo& info);

// Every header value, in the order of the header lines. Texts are as the
// collectors return them; the header applies the control-character filter.
struct TReportFacts {
  std::string StartDate, AppName, AppVersion, Parameters;
  std::string ExceptionDate, ExceptionAddress, ExceptionModule, ExceptionType, ExceptionMessage;
  std::string FormClass, FormText, ControlClass, ControlText;
  std::string ComputerName, UserName, TotalMemory, FreeMemory, TotalDisk, FreeDisk;
  std::string OSType, OSBuild, OSUpdate, OSLanguage;
};

TReportFacts CollectReportFacts(ISystemInfo& info, const TReportException& exception);
