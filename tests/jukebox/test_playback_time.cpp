#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "jukebox/playback_time.h"

namespace orvela {
namespace {

TEST(PlaybackTime, Formats) {
  struct Case {
    std::int64_t seconds;
    const char* minSec;
    const char* queue;
    const char* time;
  } const cases[] = {
      {0, "00:00", "0:00", "00:00:00"},
      {185, "03:05", "3:05", "00:03:05"},
      {75 * 60, "75:00", "75:00", "01:15:00"},  // minutes are not folded into hours
      {6000 * 60 + 7, "6000:07", "6000:07", "100:00:07"},
      {24 * 3600 + 600, "1450:00", "1450:00", "24:10:00"},
      {-5, "00:-05", "0:-05", "00:00:-05"},  // as the C formats write a negative remainder
  };
  for (const Case& c : cases) {
    EXPECT_EQ(FormatMinutesSeconds(c.seconds), c.minSec) << c.seconds;
    EXPECT_EQ(FormatQueueDuration(c.seconds), c.queue) << c.seconds;
    EXPECT_EQ(SecondsToTime(c.seconds), c.time) << c.seconds;
  }
}

TEST(PlaybackTime, ConversionsReadTheirFieldsAndRefuseTheRest) {
  EXPECT_EQ(MinSecToSeconds("3:05"), 185);
  EXPECT_EQ(MinSecToSeconds("75:00"), 4500);
  EXPECT_EQ(MinSecToSeconds("0:07"), 7);
  EXPECT_EQ(TimeToSeconds("23:50:00"), 23 * 3600 + 50 * 60);
  EXPECT_EQ(TimeToSeconds("7:05:09"), 7 * 3600 + 5 * 60 + 9);
  // Only the characters at their places count; what follows is not read.
  EXPECT_EQ(MinSecToSeconds("3:05:99"), 185);
  for (const char* bad : {"", "3", "x:05", "3:5x", "3:", ":05", "3 :05", "-:05"}) {
    EXPECT_THROW(MinSecToSeconds(bad), TTimeFormatError) << bad;
  }
  for (const char* bad : {"", "23:50", "23:5x:00", "aa:50:00", "23:50:x0"}) {
    EXPECT_THROW(TimeToSeconds(bad), TTimeFormatError) << bad;
  }
}

TEST(PlaybackTime, StartEstimateOfAQueueRow) {
  const std::vector<std::string> rows = {"4:00", "10:00", "10:00", "3:00"};
  struct Case {
    int selected;
    double position;
    bool playing;
    const char* now;
    const char* shown;
  } const cases[] = {
      {-1, 0.0, true, "12:00:00", "xx:xx Uhr"},
      {0, 30.0, true, "12:00:00", "Spielt"},
      {0, 30.0, false, "12:00:00", "??:?? Uhr"},
      // The rest of the title playing now, then the titles between.
      {1, 60.4, true, "12:00:00", "12:03:00 Uhr"},
      {2, 60.0, true, "12:00:00", "12:13:00 Uhr"},
      // Past midnight the hours count on: 23:50 + 20 minutes.
      {3, 240.0, true, "23:50:00", "24:10:00 Uhr"},
      // A selection past the rows counts what there is.
      {9, 0.0, false, "08:00:00", "08:27:00 Uhr"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(EstimateStartTime(rows, c.selected, c.position, c.playing, c.now), c.shown)
        << c.selected << " " << c.now;
  }
  EXPECT_THROW(EstimateStartTime({"kaputt", "1:00"}, 1, 0.0, true, "12:00:00"), TTimeFormatError);
}

}  // namespace
}  // namespace orvela
