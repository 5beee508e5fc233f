#include <gtest/gtest.h>

#include <cmath>
#include <ctime>
#include <set>

#include "common/platform.h"
#include "support/scripted_platform.h"
#include "common/system_clock.h"
#include "common/system_random.h"

namespace orvela {
namespace {

TEST(SystemClock, CountsLocalDaysSince30December1899) {
  const std::time_t t = std::time(nullptr);
  std::tm local{};
  localtime_r(&t, &local);
  const double expected =
      25569.0 + (static_cast<double>(t) + static_cast<double>(local.tm_gmtoff)) / 86400.0;
  EXPECT_NEAR(SystemClock().Now(), expected, 5.0 / 86400);
}

TEST(SystemRandom, StaysInRangeAndReachesEveryValue) {
  SystemRandom random(12345);
  std::set<int> seen;
  for (int i = 0; i < 1000; ++i) {
    const int v = random.Next(7);
    ASSERT_GE(v, 0);
    ASSERT_LT(v, 7);
    seen.insert(v);
  }
  EXPECT_EQ(seen.size(), 7u);
  EXPECT_EQ(random.Next(1), 0);
  EXPECT_EQ(random.Next(0), 0);
  EXPECT_EQ(random.Next(-5), 0);
}

TEST(SystemRandom, ClockSeededInstancesDiffer) {
  SystemRandom a;
  SystemRandom b;
  int same = 0;
  for (int i = 0; i < 20; ++i) same += a.Next(1000000) == b.Next(1000000);
  EXPECT_LT(same, 20);
}

TEST(ScriptedPlatform, RecordsCallsAndAnswersAsSet) {
  ScriptedScreenSaver saver(true);
  ScreenSaver& s = saver;
  EXPECT_TRUE(s.IsActive());
  s.SetActive(false);
  EXPECT_FALSE(s.IsActive());
  EXPECT_EQ(saver.setCalls, std::vector<bool>{false});
  EXPECT_EQ(saver.queries, 2);

  ScriptedRandom random;
  random.values = {5, -1, 7};
  RandomSource& r = random;
  EXPECT_EQ(r.Next(3), 2);
  EXPECT_EQ(r.Next(3), 2);
  EXPECT_EQ(r.Next(10), 7);
  EXPECT_EQ(r.Next(10), 0);
  EXPECT_EQ(random.ranges, (std::vector<std::int32_t>{3, 3, 10, 10}));

  ScriptedClock clock(100.5);
  clock.AdvanceSeconds(3600);
  EXPECT_NEAR(clock.Now(), 100.5 + 1.0 / 24, 1e-12);

  ScriptedMousePointer pointer;
  pointer.Show(false);
  EXPECT_FALSE(pointer.visible);
  EXPECT_EQ(pointer.showCalls, std::vector<bool>{false});
}

}  // namespace
}  // namespace orvela
