// The date format of reports and of the e-mail "Date" header:
// "Mon, 7 Dec 2026 03:04:33 +0300".
#pragma once

#include <cstdint>
#include <string>

// A calendar date and wall-clock time, as the platform reports local or UTC
// time. Kept as plain fields so that the formatting runs without the platform.
struct TReportDateTime {
  int Year = 1899;
  int Month = 12;  // 1..12
  int Day = 30;    // 1..31
  int Hour = 0;
  int Minute = 0;
  int Second = 0;
  int Millisecond = 0;
};

// Whole hours by which local time is ahead of UTC, truncated toward zero
// (+5:30 gives 5, -3:30 gives -3). Both values are taken at the same moment.
int ZoneOffsetHours(const TReportDateTime& local, const TReportDateTime& utc);

// The value with the zone of the present moment (zoneHours), whatever the
// zone was when the value was taken. Day and month names are fixed English
// abbreviations, never the locale's.
std::string FormatReportDate(const TReportDateTime& value, int zoneHours);

// Day of the week of a date, 0 = Sunday.
int DayOfWeek(int year, int month, int day);
