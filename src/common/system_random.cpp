#include "common/system_random.h"

#include <chrono>

namespace orvela {

SystemRandom::SystemRandom()
    : engine_(static_cast<std::uint32_t>(
          std::chrono::system_clock::now().time_since_epoch().count())) {}

std::int32_t SystemRandom::Next(std::int32_t range) {
  if (range < 1) return 0;
  std::uniform_int_distribution<std::int32_t> dist(0, range - 1);
  return dist(engine_);
}

}  // namespace orvela
