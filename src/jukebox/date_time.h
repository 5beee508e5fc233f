#pragma once
// Date-times are doubles counting days since 30 December 1899, midnight; the
// fraction is the time of day. Before that day the whole part counts back and
// the fraction still runs forward from midnight (-1.25 is 29.12.1899 06:00).
// Texts use the fixed German forms dd.MM.yyyy and hh:mm:ss.
#include <optional>
#include <string>
#include <string_view>

namespace orvela {

constexpr double kMillisecondsPerDay = 86400000.0;

// Days of the given calendar date (proleptic Gregorian); nullopt for an invalid
// date or a year outside 1..9999.
std::optional<double> TryEncodeDate(int year, int month, int day);
// As TryEncodeDate, but an invalid date gives 0 (day zero).
double EncodeDate(int year, int month, int day);
// Fraction of a day; nullopt unless hour < 24, minute < 60, second < 60, ms < 1000.
std::optional<double> TryEncodeTime(int hour, int minute, int second, int millisecond = 0);
double EncodeTime(int hour, int minute, int second, int millisecond = 0);
// Joins a date (whole days) and a time of day (fraction) by the rule above.
double CombineDateTime(double date, double time);

struct DateParts {
  int year = 1899;
  int month = 12;
  int day = 30;
};
struct TimeParts {
  int hour = 0;
  int minute = 0;
  int second = 0;
  int millisecond = 0;
};
// Times are rounded to the nearest millisecond first, so 18:29:59.9999999
// decodes as 18:30:00 (and 23:59:59.9999999 as midnight of the next day).
DateParts DecodeDate(double dateTime);
TimeParts DecodeTime(double dateTime);
// 1 = Sunday .. 7 = Saturday.
int DayOfWeek(double dateTime);

// The date alone (midnight) and the time of day alone (on day zero).
double DateOf(double dateTime);
double TimeOf(double dateTime);
// Whole seconds since midnight of the time of day, 0..86399.
int SecondOfDay(double dateTime);

std::string FormatGermanDate(double dateTime);  // 24.12.2008
std::string FormatGermanTime(double dateTime);  // 18:30:00
// "24.12.2008 18:30:00"; exactly at midnight just "24.12.2008".
std::string FormatGermanDateTime(double dateTime);

// Accepts "d.M.yyyy h:m:s", a date alone (its midnight) or a time alone (that
// time on day zero); seconds may be left out ("h:m"), surrounding blanks are
// ignored. A two-digit year counts as 20yy below 50 and 19yy otherwise.
std::optional<double> ParseGermanDateTime(std::string_view text);

}  // namespace orvela
