// The report date from calendar arithmetic of its own: weekday, month name and
// the zone offset in whole hours, rounded to the minute first.
#include "reporter/report/ReportDate.h"

#include <cstdio>
#include <cstdlib>

namespace {

constexpr const char* kDayNames[7] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
constexpr const char* kMonthNames[12] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                         "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

// Days since 1970-01-01 of a proleptic Gregorian date (valid for any year).
std::int64_t DaysFromCivil(std::int64_t y, unsigned m, unsigned d) {
  y -= m <= 2;
  const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
  const unsigned yoe = static_cast<unsigned>(y - era * 400);
  const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + static_cast<std::int64_t>(doe) - 719468;
}

std::int64_t MillisecondsOf(const TReportDateTime& t) {
  const std::int64_t days =
      DaysFromCivil(t.Year, static_cast<unsigned>(t.Month), static_cast<unsigned>(t.Day));
  return ((days * 24 + t.Hour) * 60 + t.Minute) * 60000LL + t.Second * 1000LL + t.Millisecond;
}

}  // namespace

int DayOfWeek(int year, int month, int day) {
  const std::int64_t days =
      DaysFromCivil(year, static_cast<unsigned>(month), static_cast<unsigned>(day));
  // 1970-01-01 was a Thursday.
  return static_cast<int>(((days % 7) + 7 + 4) % 7);
}

int ZoneOffsetHours(const TReportDateTime& local, const TReportDateTime& utc) {
  // The two clocks are read one after the other, so their difference may be
  // off by a few milliseconds; subtracting fractional days and truncating
  // would then turn +3:00 into +2. Zones are whole minutes: round to the
  // minute first, then truncate to hours.
  const std::int64_t diff = MillisecondsOf(local) - MillisecondsOf(utc);
  const std::int64_t minutes = (diff >= 0 ? diff + 30000 : diff - 30000) / 60000;
  return static_cast<int>(minutes / 60);
}

std::string FormatReportDate(const TReportDateTime& value, int zoneHours) {
  std::string zone = std::to_string(zoneHours);
  if (zone.empty() || zone[0] != '-') zone.insert(0, "+");
  if (zone.size() == 2) zone.insert(1, "0");
  zone += "00";

  const int month = value.Month >= 1 && value.Month <= 12 ? value.Month : 1;
  const int weekday = DayOfWeek(value.Year, month, value.Day);
  char buffer[96];
  std::snprintf(buffer, sizeof buffer, "%s, %d %s %d %02d:%02d:%02d %s", kDayNames[weekday],
                value.Day, kMonthNames[month - 1], value.Year, value.Hour, value.Minute,
                value.Second, zone.c_str());
  return buffer;
}
