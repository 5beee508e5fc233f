#include "jukebox/date_time.h"

#include <cmath>
#include <cstdint>
#include <cstdio>

namespace orvela {
namespace {

constexpr std::int64_t kMsPerDay = 86400000;
// Days of 1.1.0001 and 31.12.9999; values beyond are clamped before decoding so
// that a damaged setting can never overflow the arithmetic below.
constexpr double kMinDays = -693593.0;
constexpr double kMaxDays = 2958465.999999;

// Days since 1.3.0000 style civil-day counting (Howard Hinnant's algorithm),
// shifted so that 30.12.1899 is day 0.
std::int64_t DaysFromCivil(std::int64_t y, unsigned m, unsigned d) {
  y -= m <= 2;
  const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
  const auto yoe = static_cast<unsigned>(y - era * 400);
  const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + static_cast<std::int64_t>(doe) - 719468;
}

const std::int64_t kEpoch = DaysFromCivil(1899, 12, 30);

DateParts CivilFromDays(std::int64_t z) {
  z += 719468;
  const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const auto doe = static_cast<unsigned>(z - era * 146097);
  const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const unsigned mp = (5 * doy + 2) / 153;
  const unsigned d = doy - (153 * mp + 2) / 5 + 1;
  const unsigned m = mp < 10 ? mp + 3 : mp - 9;
  const std::int64_t y = static_cast<std::int64_t>(yoe) + era * 400 + (m <= 2);
  return {static_cast<int>(y), static_cast<int>(m), static_cast<int>(d)};
}

bool IsLeapYear(int y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }

int DaysInMonth(int y, int m) {
  static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return m == 2 && IsLeapYear(y) ? 29 : kDays[m - 1];
}

// Splits a value into its calendar day (days since day zero) and the
// milliseconds since that day's midnight, rounding to the millisecond.
struct DayAndMs {
  std::int64_t day;
  std::int64_t ms;
};

DayAndMs Split(double dateTime) {
  if (!std::isfinite(dateTime)) dateTime = 0.0;
  if (dateTime < kMinDays) dateTime = kMinDays;
  if (dateTime > kMaxDays) dateTime = kMaxDays;
  const double whole = std::trunc(dateTime);
  std::int64_t day = static_cast<std::int64_t>(whole);
  std::int64_t ms = std::llround(std::fabs(dateTime - whole) * kMillisecondsPerDay);
  if (ms >= kMsPerDay) {
    // Rounded up to the next midnight, which is the following calendar day
    // whichever side of day zero we are on.
    ms -= kMsPerDay;
    day += 1;
  }
  return {day, ms};
}

// Parses 1..maxDigits decimal digits; advances pos.
std::optional<int> Number(std::string_view text, std::size_t& pos, std::size_t maxDigits) {
  std::size_t start = pos;
  int value = 0;
  while (pos < text.size() && text[pos] >= '0' && text[pos] <= '9' && pos - start < maxDigits) {
    value = value * 10 + (text[pos] - '0');
    ++pos;
  }
  if (pos == start) return std::nullopt;
  return value;
}

std::optional<double> ParseDate(std::string_view text) {
  std::size_t pos = 0;
  auto day = Number(text, pos, 2);
  if (!day || pos >= text.size() || text[pos++] != '.') return std::nullopt;
  auto month = Number(text, pos, 2);
  if (!month || pos >= text.size() || text[pos++] != '.') return std::nullopt;
  const std::size_t yearStart = pos;
  auto year = Number(text, pos, 4);
  if (!year || pos != text.size()) return std::nullopt;
  int y = *year;
  if (pos - yearStart <= 2) y += y < 50 ? 2000 : 1900;
  return TryEncodeDate(y, *month, *day);
}

std::optional<double> ParseTime(std::string_view text) {
  std::size_t pos = 0;
  auto hour = Number(text, pos, 2);
  if (!hour || pos >= text.size() || text[pos++] != ':') return std::nullopt;
  auto minute = Number(text, pos, 2);
  if (!minute) return std::nullopt;
  std::optional<int> second = 0;
  if (pos < text.size()) {
    if (text[pos++] != ':') return std::nullopt;
    second = Number(text, pos, 2);
    if (!second) return std::nullopt;
  }
  if (pos != text.size()) return std::nullopt;
  return TryEncodeTime(*hour, *minute, *second);
}

bool IsBlankChar(char c) { return static_cast<unsigned char>(c) <= 0x20; }

}  // namespace

std::optional<double> TryEncodeDate(int year, int month, int day) {
  if (year < 1 || year > 9999 || month < 1 || month > 12 || day < 1 ||
      day > DaysInMonth(year, month)) {
    return std::nullopt;
  }
  return static_cast<double>(DaysFromCivil(year, static_cast<unsigned>(month),
                                           static_cast<unsigned>(day)) -
                             kEpoch);
}

double EncodeDate(int year, int month, int day) {
  return TryEncodeDate(year, month, day).value_or(0.0);
}

std::optional<double> TryEncodeTime(int hour, int minute, int second, int millisecond) {
  if (hour < 0 || hour > 23 || minute < 0 || minute > 59 || second < 0 || second > 59 ||
      millisecond < 0 || millisecond > 999) {
    return std::nullopt;
  }
  const std::int64_t ms = ((hour * 60LL + minute) * 60 + second) * 1000 + millisecond;
  return static_cast<double>(ms) / kMillisecondsPerDay;
}

double EncodeTime(int hour, int minute, int second, int millisecond) {
  return TryEncodeTime(hour, minute, second, millisecond).value_or(0.0);
}

double CombineDateTime(double date, double time) {
  const double day = std::trunc(date);
  const double frac = std::fabs(time - std::trunc(time));
  return day >= 0 ? day + frac : day - frac;
}

DateParts DecodeDate(double dateTime) { return CivilFromDays(Split(dateTime).day + kEpoch); }

TimeParts DecodeTime(double dateTime) {
  std::int64_t ms = Split(dateTime).ms;
  TimeParts t;
  t.millisecond = static_cast<int>(ms % 1000);
  ms /= 1000;
  t.second = static_cast<int>(ms % 60);
  ms /= 60;
  t.minute = static_cast<int>(ms % 60);
  t.hour = static_cast<int>(ms / 60);
  return t;
}

int DayOfWeek(double dateTime) {
  // Day zero, 30.12.1899, was a Saturday.
  const std::int64_t day = Split(dateTime).day;
  const std::int64_t sinceSunday = ((day + 6) % 7 + 7) % 7;
  return static_cast<int>(sinceSunday) + 1;
}

double DateOf(double dateTime) { return static_cast<double>(Split(dateTime).day); }

double TimeOf(double dateTime) {
  return static_cast<double>(Split(dateTime).ms) / kMillisecondsPerDay;
}

int SecondOfDay(double dateTime) { return static_cast<int>(Split(dateTime).ms / 1000); }

std::string FormatGermanDate(double dateTime) {
  const DateParts d = DecodeDate(dateTime);
  char buf[16];
  std::snprintf(buf, sizeof buf, "%02d.%02d.%04d", d.day, d.month, d.year);
  return buf;
}

std::string FormatGermanTime(double dateTime) {
  const TimeParts t = DecodeTime(dateTime);
  char buf[16];
  std::snprintf(buf, sizeof buf, "%02d:%02d:%02d", t.hour, t.minute, t.second);
  return buf;
}

std::string FormatGermanDateTime(double dateTime) {
  if (Split(dateTime).ms == 0) return FormatGermanDate(dateTime);
  return FormatGermanDate(dateTime) + " " + FormatGermanTime(dateTime);
}

std::optional<double> ParseGermanDateTime(std::string_view text) {
  while (!text.empty() && IsBlankChar(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsBlankChar(text.back())) text.remove_suffix(1);
  if (text.empty()) return std::nullopt;

  std::size_t gap = 0;
  while (gap < text.size() && !IsBlankChar(text[gap])) ++gap;
  if (gap == text.size()) {
    if (text.find(':') != std::string_view::npos) return ParseTime(text);
    return ParseDate(text);
  }
  std::string_view first = text.substr(0, gap);
  std::string_view rest = text.substr(gap);
  while (!rest.empty() && IsBlankChar(rest.front())) rest.remove_prefix(1);
  auto date = ParseDate(first);
  auto time = ParseTime(rest);
  if (!date || !time) return std::nullopt;
  return CombineDateTime(*date, *time);
}

}  // namespace orvela
