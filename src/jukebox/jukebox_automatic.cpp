#include "jukebox/jukebox_automatic.h"

#include <algorithm>
#include <vector>

#include "common/platform.h"
#include "jukebox/title_selection.h"

namespace orvela {

std::int32_t DrawTitleNumber(std::int32_t titleCount, RandomSource& random) {
  const std::int32_t r = titleCount > 0 ? random.Next(titleCount) : 0;
  return r == 0 ? 1 : r;
}

std::int32_t PickRandomTitle(TRecordNumberList& pass, std::int32_t drawn, std::int32_t titleCount,
                             RandomSource& random) {
  const std::vector<std::int32_t>& numbers = pass.Numbers();
  if (std::any_of(numbers.begin(), numbers.end(), [&](std::int32_t n) { return n > titleCount; })) {
    TRecordNumberList kept;
    for (std::int32_t n : numbers) {
      if (n <= titleCount) kept.Add(n);
    }
    pass = kept;
  }
  if (pass.Empty()) {
    pass.Fill(titleCount);
    pass.Take(drawn);
    return drawn;
  }
  if (pass.Take(drawn)) return drawn;
  const std::int32_t entries = static_cast<std::int32_t>(pass.Size());
  const std::int32_t j = entries > 1 ? random.Next(entries - 1) : 0;
  const std::int32_t picked = pass.Numbers()[static_cast<std::size_t>(j)];
  pass.Take(picked);
  return picked;
}

}  // namespace orvela
