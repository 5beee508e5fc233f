#include "jukebox/date_time.h"

#include <gtest/gtest.h>

#include <limits>
#include <optional>
#include <string>

namespace orvela {
namespace {

TEST(DateTime, CalendarDates) {
  struct Case {
    int y, m, d;
    double days;
    int dayOfWeek;  // 1 Sunday .. 7 Saturday
  };
  const Case cases[] = {
      {1899, 12, 30, 0, 7},     {1899, 12, 29, -1, 6},  {1900, 1, 1, 2, 2},
      {1900, 3, 1, 61, 5},      {1970, 1, 1, 25569, 5}, {2000, 2, 29, 36585, 3},
      {2008, 12, 24, 39806, 4}, {9999, 12, 31, 2958465, 6}, {1, 1, 1, -693593, 2},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.y) + "-" + std::to_string(c.m) + "-" + std::to_string(c.d));
    ASSERT_EQ(TryEncodeDate(c.y, c.m, c.d), c.days);
    const DateParts back = DecodeDate(CombineDateTime(c.days, 0.75));
    EXPECT_EQ(back.year, c.y);
    EXPECT_EQ(back.month, c.m);
    EXPECT_EQ(back.day, c.d);
    EXPECT_EQ(DayOfWeek(c.days), c.dayOfWeek);
  }
}

TEST(DateTime, InvalidDatesAndTimes) {
  EXPECT_FALSE(TryEncodeDate(2001, 2, 29));
  EXPECT_FALSE(TryEncodeDate(1900, 2, 29));
  EXPECT_FALSE(TryEncodeDate(2008, 13, 1));
  EXPECT_FALSE(TryEncodeDate(2008, 4, 31));
  EXPECT_FALSE(TryEncodeDate(0, 1, 1));
  EXPECT_FALSE(TryEncodeDate(10000, 1, 1));
  EXPECT_EQ(EncodeDate(2008, 0, 1), 0.0);
  EXPECT_FALSE(TryEncodeTime(24, 0, 0));
  EXPECT_FALSE(TryEncodeTime(0, 60, 0));
  EXPECT_FALSE(TryEncodeTime(0, 0, 60));
  EXPECT_FALSE(TryEncodeTime(-1, 0, 0));
  EXPECT_EQ(EncodeTime(12, 0, 0), 0.5);
}

TEST(DateTime, TimeOfDayRoundsToTheMillisecond) {
  const double almost = EncodeDate(2008, 12, 24) + EncodeTime(18, 30, 0) - 1e-10;
  const TimeParts t = DecodeTime(almost);
  EXPECT_EQ(t.hour, 18);
  EXPECT_EQ(t.minute, 30);
  EXPECT_EQ(t.second, 0);
  EXPECT_EQ(FormatGermanDateTime(almost), "24.12.2008 18:30:00");
  // Just before midnight rounds into the next day, whose midnight has no time.
  EXPECT_EQ(FormatGermanDateTime(EncodeDate(2008, 12, 24) + 1 - 1e-10), "25.12.2008");
  EXPECT_EQ(SecondOfDay(EncodeDate(2008, 12, 24) + EncodeTime(1, 2, 3)), 3723);
  EXPECT_EQ(DateOf(39806.75), 39806.0);
  EXPECT_EQ(TimeOf(39806.75), 0.75);
}

TEST(DateTime, GermanTexts) {
  struct Case {
    double value;
    const char* text;
  };
  const Case cases[] = {
      {0.0, "30.12.1899"},
      {39806.0, "24.12.2008"},
      {39806.0 + 18.5 / 24, "24.12.2008 18:30:00"},
      {39806.0 + 1.0 / 86400, "24.12.2008 00:00:01"},
      {36526.0 + 0.25, "01.01.2000 06:00:00"},
      {-1.25, "29.12.1899 06:00:00"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(FormatGermanDateTime(c.value), c.text);
    const auto back = ParseGermanDateTime(c.text);
    ASSERT_TRUE(back);
    EXPECT_NEAR(*back, c.value, 1e-9);
  }
  EXPECT_EQ(FormatGermanDate(39806.75), "24.12.2008");
  EXPECT_EQ(FormatGermanTime(39806.75), "18:00:00");
}

TEST(DateTime, ParsingAcceptedAndRejectedTexts) {
  struct Case {
    const char* text;
    std::optional<double> expected;
  };
  const double xmas = EncodeDate(2008, 12, 24);
  const Case cases[] = {
      {"24.12.2008 18:30:00", xmas + EncodeTime(18, 30, 0)},
      {"24.12.2008", xmas},
      {"18:30:00", EncodeTime(18, 30, 0)},
      {"00:00:00", 0.0},
      {"7:05", EncodeTime(7, 5, 0)},
      {"1.2.2009 7:05:09", EncodeDate(2009, 2, 1) + EncodeTime(7, 5, 9)},
      {"  24.12.2008   18:30:00 \t", xmas + EncodeTime(18, 30, 0)},
      {"24.12.08", xmas},
      {"24.12.99", EncodeDate(1999, 12, 24)},
      {"", std::nullopt},
      {"   ", std::nullopt},
      {"heute", std::nullopt},
      {"31.02.2009", std::nullopt},
      {"24.12.", std::nullopt},
      {"24-12-2008", std::nullopt},
      {"25:00:00", std::nullopt},
      {"18:60", std::nullopt},
      {"18:30:00:00", std::nullopt},
      {"24.12.2008 18:30:00 x", std::nullopt},
      {"24.12.2008x", std::nullopt},
      {"18:30:00 24.12.2008", std::nullopt},
      {"124.12.2008", std::nullopt},
      {"24.12.20081", std::nullopt},
      {"-1.12.2008", std::nullopt},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    const auto got = ParseGermanDateTime(c.text);
    ASSERT_EQ(got.has_value(), c.expected.has_value());
    if (got) {
      EXPECT_NEAR(*got, *c.expected, 1e-9);
    }
  }
}

TEST(DateTime, EverySecondOfADayRoundTrips) {
  const double day = EncodeDate(2024, 2, 29);
  for (int s = 0; s < 86400; s += 7) {
    const double value = day + EncodeTime(s / 3600, s / 60 % 60, s % 60);
    const auto back = ParseGermanDateTime(FormatGermanDateTime(value));
    ASSERT_TRUE(back) << s;
    ASSERT_NEAR(*back, value, 1e-9) << s;
  }
}

TEST(DateTime, AbsurdValuesStayInRange) {
  const double values[] = {1e300, -1e300, std::numeric_limits<double>::infinity(),
                           std::numeric_limits<double>::quiet_NaN()};
  for (double v : values) {
    const DateParts d = DecodeDate(v);
    EXPECT_GE(d.year, 1);
    EXPECT_LE(d.year, 9999);
    EXPECT_FALSE(FormatGermanDateTime(v).empty());
  }
}

}  // namespace
}  // namespace orvela
