#include "jukebox/playback_time.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <limits>

namespace orvela {
namespace {

std::string Printf(const char* format, std::int64_t a, std::int64_t b) {
  char text[64];
  std::snprintf(text, sizeof text, format, static_cast<long long>(a), static_cast<long long>(b));
  return text;
}

// A whole decimal number, optionally signed; nothing else.
std::int64_t Decimal(std::string_view part, std::string_view whole) {
  std::int64_t value = 0;
  const char* begin = part.data();
  const char* end = part.data() + part.size();
  if (begin != end && *begin == '+') ++begin;
  const auto [stop, ec] = std::from_chars(begin, end, value);
  if (part.empty() || ec != std::errc() || stop != end) {
    throw TTimeFormatError("'" + std::string(whole) + "' ist keine g\xFCltige Zeitangabe");
  }
  return value;
}

std::string_view Part(std::string_view text, std::size_t from, std::size_t length) {
  return from >= text.size() ? std::string_view{} : text.substr(from, length);
}

}  // namespace

std::string FormatMinutesSeconds(std::int64_t seconds) {
  return Printf("%.2lld:%.2lld", seconds / 60, seconds % 60);
}

std::string FormatQueueDuration(std::int64_t seconds) {
  return Printf("%lld:%.2lld", seconds / 60, seconds % 60);
}

std::string SecondsToTime(std::int64_t seconds) {
  char text[96];
  std::snprintf(text, sizeof text, "%.2lld:%.2lld:%.2lld", static_cast<long long>(seconds / 3600),
                static_cast<long long>(seconds / 60 % 60), static_cast<long long>(seconds % 60));
  return text;
}

std::int64_t MinSecToSeconds(std::string_view text) {
  const std::size_t colon = text.find(':');
  if (colon == std::string_view::npos) Decimal({}, text);
  return Decimal(text.substr(0, colon), text) * 60 + Decimal(Part(text, colon + 1, 2), text);
}

std::int64_t TimeToSeconds(std::string_view text) {
  const std::size_t colon = text.find(':');
  if (colon == std::string_view::npos) Decimal({}, text);
  return Decimal(text.substr(0, colon), text) * 3600 + Decimal(Part(text, colon + 1, 2), text) * 60 +
         Decimal(Part(text, colon + 4, 2), text);
}

std::int64_t RoundSeconds(double seconds) {
  if (!std::isfinite(seconds)) return 0;
  const double limit = static_cast<double>(std::numeric_limits<std::int32_t>::max());
  return static_cast<std::int64_t>(std::round(std::clamp(seconds, -limit, limit)));
}

std::string EstimateStartTime(const std::vector<std::string>& rowDurations, int selectedRow,
                              double positionSeconds, bool playing, std::string_view timeOfDay) {
  if (selectedRow < 0) return "xx:xx Uhr";
  if (selectedRow == 0) return playing ? "Spielt" : "??:?? Uhr";
  std::int64_t ahead = 0;
  for (int i = 0; i < selectedRow && i < static_cast<int>(rowDurations.size()); ++i) {
    std::int64_t d = MinSecToSeconds(rowDurations[static_cast<std::size_t>(i)]);
    if (i == 0) d -= RoundSeconds(positionSeconds);
    ahead += d;
  }
  return SecondsToTime(TimeToSeconds(timeOfDay) + ahead) + " Uhr";
}

}  // namespace orvela
