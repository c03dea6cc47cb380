// The report's banner and header block: application, exception, active
// controls, computer and operating system, one numbered line per value.
#pragma once

#include <cstdint>
#include <string>

#include "reporter/config/CustomizedTexts.h"
#include "reporter/report/SystemFacts.h"

// The banner that opens every report.
inline constexpr const char* kReportBanner = "VexlorLog 4.5.8";

// logItems switches the 23 lines on and off, bit 0 being Start Date and
// bit 22 Language. The Active Controls lines also need showActiveControls,
// which web and console programs leave off.
std::string BuildReportHeader(const TCustomizedTexts& texts, std::uint32_t logItems,
                              const TReportFacts& facts, bool showActiveControls);
