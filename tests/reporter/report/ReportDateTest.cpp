// Report dates: the mail header's form, zones, and weekdays across centuries.
#include "reporter/report/ReportDate.h"

#include <gtest/gtest.h>

namespace {

TReportDateTime At(int year, int month, int day, int hour, int minute, int second, int ms = 0) {
  return {year, month, day, hour, minute, second, ms};
}

}  // namespace

TEST(ReportDate, FormatsLikeAMailDateHeader) {
  EXPECT_EQ(FormatReportDate(At(2026, 12, 7, 3, 4, 33), 0), "Mon, 7 Dec 2026 03:04:33 +0000");
  EXPECT_EQ(FormatReportDate(At(2026, 12, 7, 9, 12, 5), 3), "Mon, 7 Dec 2026 09:12:05 +0300");
  EXPECT_EQ(FormatReportDate(At(2024, 2, 29, 23, 59, 59), -5), "Thu, 29 Feb 2024 23:59:59 -0500");
  EXPECT_EQ(FormatReportDate(At(2000, 1, 1, 0, 0, 0), 10), "Sat, 1 Jan 2000 00:00:00 +1000");
  EXPECT_EQ(FormatReportDate(At(1999, 10, 31, 12, 0, 0), -10), "Sun, 31 Oct 1999 12:00:00 -1000");
  EXPECT_EQ(FormatReportDate(At(2026, 7, 15, 8, 5, 9), 14), "Wed, 15 Jul 2026 08:05:09 +1400");
}

TEST(ReportDate, HalfHourZonesDropTheirMinutes) {
  const TReportDateTime utc = At(2026, 12, 7, 12, 0, 0);
  EXPECT_EQ(ZoneOffsetHours(At(2026, 12, 7, 17, 30, 0), utc), 5);
  EXPECT_EQ(ZoneOffsetHours(At(2026, 12, 7, 8, 30, 0), utc), -3);
  EXPECT_EQ(ZoneOffsetHours(At(2026, 12, 7, 22, 0, 0), utc), 10);
  EXPECT_EQ(ZoneOffsetHours(utc, utc), 0);
  EXPECT_EQ(FormatReportDate(utc, ZoneOffsetHours(At(2026, 12, 7, 17, 30, 0), utc)),
            "Mon, 7 Dec 2026 12:00:00 +0500");
  EXPECT_EQ(FormatReportDate(utc, ZoneOffsetHours(At(2026, 12, 7, 8, 30, 0), utc)),
            "Mon, 7 Dec 2026 12:00:00 -0300");
}

TEST(ReportDate, ZoneSurvivesClocksReadAMomentApart) {
  // The UTC clock read a millisecond after the local one, across midnight and
  // across a month end: still whole hours.
  EXPECT_EQ(ZoneOffsetHours(At(2026, 12, 8, 2, 0, 0, 0), At(2026, 12, 7, 23, 0, 0, 1)), 3);
  EXPECT_EQ(ZoneOffsetHours(At(2026, 11, 30, 23, 0, 0, 999), At(2026, 12, 1, 4, 0, 1, 2)), -5);
  EXPECT_EQ(ZoneOffsetHours(At(2026, 1, 1, 0, 59, 59, 999), At(2025, 12, 31, 23, 0, 0, 0)), 2);
}

TEST(ReportDate, DayOfWeekAcrossCenturies) {
  EXPECT_EQ(DayOfWeek(1899, 12, 30), 6);  // Saturday
  EXPECT_EQ(DayOfWeek(1970, 1, 1), 4);
  EXPECT_EQ(DayOfWeek(2100, 3, 1), 1);
  EXPECT_EQ(DayOfWeek(1600, 2, 29), 2);
}
