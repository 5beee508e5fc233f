#pragma once
// The time texts of the playback control and the conversions between them and
// seconds. Minutes are never folded into hours except in the start estimate:
// a title of 75 minutes reads 75:00.
#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace orvela {

// A time text that does not read as decimal numbers where they belong.
class TTimeFormatError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// "%.2d:%.2d": minutes (not limited to 59) and seconds; the title and queue displays.
std::string FormatMinutesSeconds(std::int64_t seconds);
// "%d:%.2d": the queue list's duration column.
std::string FormatQueueDuration(std::int64_t seconds);
// "%.2d:%.2d:%.2d": hours (not limited to 23), minutes, seconds.
std::string SecondsToTime(std::int64_t seconds);

// "m:ss": the part before the first ":" as minutes, the two characters after
// it as seconds. Throws TTimeFormatError.
std::int64_t MinSecToSeconds(std::string_view text);
// "h:mm:ss": hours before the first ":", then two characters of minutes and,
// three places after it, two of seconds. Throws TTimeFormatError.
std::int64_t TimeToSeconds(std::string_view text);

// Seconds rounded half away from zero, as the displays round the player's times.
std::int64_t RoundSeconds(double seconds);

// When the queue row `selectedRow` (-1: none) starts: the time of day plus the
// rest of the title playing now plus the lengths of the rows between, as
// "hh:mm:ss Uhr" (hours go on past 24); "Spielt" for the first row while it
// plays, "??:?? Uhr" for it otherwise, "xx:xx Uhr" without a selection.
// `rowDurations` are the queue list's "m:ss" texts; throws TTimeFormatError
// for a malformed one.
std::string EstimateStartTime(const std::vector<std::string>& rowDurations, int selectedRow,
                              double positionSeconds, bool playing, std::string_view timeOfDay);

}  // namespace orvela
