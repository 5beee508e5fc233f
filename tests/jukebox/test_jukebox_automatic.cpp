// The automatic's draws: which title comes next, and that a pass brings every
// title exactly once.
#include <gtest/gtest.h>

#include <algorithm>
#include <set>

#include "common/system_random.h"
#include "jukebox/jukebox_automatic.h"
#include "jukebox/title_selection.h"
#include "support/scripted_platform.h"

namespace orvela::testing {
namespace {

TEST(DrawTitleNumber, ZeroCountsAsOneAndTheLastIsNeverDrawn) {
  ScriptedRandom random;
  random.values = {0, 1, 5, 9};
  EXPECT_EQ(DrawTitleNumber(10, random), 1);
  EXPECT_EQ(DrawTitleNumber(10, random), 1);
  EXPECT_EQ(DrawTitleNumber(10, random), 5);
  EXPECT_EQ(DrawTitleNumber(10, random), 9);
  EXPECT_EQ(random.ranges, (std::vector<std::int32_t>{10, 10, 10, 10}));
}

TEST(PickRandomTitle, FollowsTheDrawThenTheList) {
  struct Case {
    const char* name;
    std::vector<std::int32_t> pass;
    std::int32_t drawn;
    std::int32_t titleCount;
    std::deque<std::int32_t> randomValues;
    std::int32_t expected;
    std::vector<std::int32_t> passAfter;
    std::vector<std::int32_t> rangesAsked;
  };
  const Case cases[] = {
      {"drawn title still in the pass", {1, 2, 3, 4}, 3, 4, {}, 3, {1, 2, 4}, {}},
      // Entry j of 0..entries-2: the list's last entry is never taken while others are left.
      {"drawn title gone: another entry", {1, 4, 6}, 3, 6, {1}, 4, {1, 6}, {2}},
      {"drawn title gone: one entry left", {6}, 2, 6, {}, 6, {}, {}},
      {"pass complete: a new one", {}, 2, 4, {}, 2, {1, 3, 4}, {}},
      // The collection shrank to 4 titles: 5 and 6 are no longer there.
      {"numbers beyond the collection skipped", {2, 5, 6}, 1, 4, {}, 2, {}, {}},
      {"only numbers beyond the collection: a new pass", {5, 6}, 3, 4, {}, 3, {1, 2, 4}, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TRecordNumberList pass;
    for (std::int32_t n : c.pass) pass.Add(n);
    ScriptedRandom random;
    random.values = c.randomValues;
    EXPECT_EQ(PickRandomTitle(pass, c.drawn, c.titleCount, random), c.expected);
    EXPECT_EQ(pass.Numbers(), c.passAfter);
    EXPECT_EQ(random.ranges, c.rangesAsked);
  }
}

// With a real generator: a pass queues every title once, and the highest
// number only as the pass's last title; the next pass starts afresh.
TEST(PickRandomTitle, APassBringsEveryTitleOnceAndTheLastOneLast) {
  for (std::uint32_t seed : {1u, 7u, 2024u, 99991u}) {
    SCOPED_TRACE(seed);
    SystemRandom random(seed);
    for (std::int32_t titles : {1, 2, 6, 37}) {
      TRecordNumberList pass;
      pass.Fill(titles);
      std::vector<std::int32_t> queued;
      for (std::int32_t i = 0; i < titles; ++i) {
        queued.push_back(PickRandomTitle(pass, DrawTitleNumber(titles, random), titles, random));
      }
      EXPECT_TRUE(pass.Empty());
      EXPECT_EQ(std::set<std::int32_t>(queued.begin(), queued.end()).size(), static_cast<std::size_t>(titles));
      EXPECT_EQ(queued.back(), titles);
      const std::int32_t next = PickRandomTitle(pass, DrawTitleNumber(titles, random), titles, random);
      EXPECT_GE(next, 1);
      EXPECT_LE(next, titles);
      EXPECT_EQ(pass.Size(), static_cast<std::size_t>(titles - 1));
    }
  }
}

}  // namespace
}  // namespace orvela::testing
