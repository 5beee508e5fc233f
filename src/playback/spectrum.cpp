#include "playback/spectrum.h"

#include <algorithm>
#include <cmath>

namespace orvela {

TSpectrum::TSpectrum(int width, int height) : Width(std::max(width, 1)), Height(std::max(height, 1)) {}

namespace {

std::int32_t BarHeight(float magnitude, std::int32_t maxHeight) {
  const double scaled = std::fabs(static_cast<double>(magnitude)) * 500.0;
  // NaN and huge values from a broken decoder must not reach the integer cast.
  if (std::isnan(scaled)) return 0;
  if (scaled >= static_cast<double>(maxHeight)) return maxHeight;
  return static_cast<std::int32_t>(scaled);  // truncates toward zero
}

std::int32_t Sink(std::int32_t current, std::int32_t target, std::int32_t fall) {
  const std::int32_t next = target < current ? current - fall : target;
  return std::max(next, 0);
}

}  // namespace

void TSpectrum::Advance(std::span<const float> magnitudes) {
  const std::size_t step = static_cast<std::size_t>(std::max<std::int32_t>(BinStep, 1));
  for (int i = 0; i < kBarCount; ++i) {
    const std::size_t bin = static_cast<std::size_t>(i) * step;
    const float v = bin < magnitudes.size() ? magnitudes[bin] : 0.0f;
    const std::int32_t c = BarHeight(v, MaxHeight);
    Peaks[i] = Sink(Peaks[i], c, PeakFall);
    Bars[i] = Sink(Bars[i], c, BarFall);
  }
}

}  // namespace orvela
