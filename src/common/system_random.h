#pragma once
#include <cstdint>
#include <random>

#include "common/platform.h"

namespace orvela {

// Seeded from the clock, so every run of the jukebox draws a different sequence.
class SystemRandom : public RandomSource {
 public:
  SystemRandom();
  explicit SystemRandom(std::uint32_t seed) : engine_(seed) {}
  // 0 .. range-1; 0 for a range below 1.
  std::int32_t Next(std::int32_t range) override;

 private:
  std::mt19937 engine_;
};

}  // namespace orvela
