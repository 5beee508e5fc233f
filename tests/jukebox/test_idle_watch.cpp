// The attract screen's coming and going, driven by a scripted clock.
#include "jukebox/idle_watch.h"

#include <gtest/gtest.h>

#include <vector>

namespace orvela {
namespace {

enum class Step { Tick, TickPlaying, Touch };

struct Event {
  double at;
  Step step;
  bool showingAfter;
  bool touchWoke = false;  // for Touch: whether it only ended the attract screen
};

TEST(IdleWatchTest, ComesAfterTheQuietWaitAndGoesOnTouchOrMusic) {
  struct Case {
    const char* name;
    int minutes;
    std::vector<Event> events;
  } cases[] = {
      {"not before the wait, then at once", 10,
       {{599, Step::Tick, false}, {600, Step::Tick, true}, {4000, Step::Tick, true}}},
      {"0 minutes: never", 0, {{1, Step::Tick, false}, {86400.0 * 30, Step::Tick, false}}},
      {"a touch starts the wait again", 10,
       {{500, Step::Touch, false}, {1099, Step::Tick, false}, {1100, Step::Tick, true}}},
      {"music keeps it away however long it plays", 1,
       {{10, Step::TickPlaying, false}, {3600, Step::TickPlaying, false}, {3659, Step::Tick, false},
        {3660, Step::Tick, true}}},
      {"a touch ends it and wakes only", 1,
       {{60, Step::Tick, true}, {70, Step::Touch, false, true}, {71, Step::Touch, false, false},
        {129, Step::Tick, false}, {131, Step::Tick, true}}},
      {"music starting ends it", 1,
       {{60, Step::Tick, true}, {61, Step::TickPlaying, false}, {100, Step::Tick, false},
        {121, Step::Tick, true}}},
      {"a clock that went back waits again", 1,
       {{30, Step::Tick, false}, {-500, Step::Tick, false}, {-441, Step::Tick, false},
        {-440, Step::Tick, true}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TIdleWatch watch(c.minutes, 0);
    for (const Event& e : c.events) {
      SCOPED_TRACE(e.at);
      switch (e.step) {
        case Step::Tick: EXPECT_EQ(watch.Tick(e.at, false), e.showingAfter); break;
        case Step::TickPlaying: EXPECT_EQ(watch.Tick(e.at, true), e.showingAfter); break;
        case Step::Touch: EXPECT_EQ(watch.Touch(e.at), e.touchWoke); break;
      }
      EXPECT_EQ(watch.Showing(), e.showingAfter);
    }
  }
}

}  // namespace
}  // namespace orvela
