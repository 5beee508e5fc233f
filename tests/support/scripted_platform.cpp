#include "support/scripted_platform.h"

namespace orvela {

bool ScriptedScreenSaver::IsActive() {
  ++queries;
  return active;
}

void ScriptedScreenSaver::SetActive(bool value) {
  setCalls.push_back(value);
  active = value;
}

void ScriptedMousePointer::Show(bool value) {
  showCalls.push_back(value);
  visible = value;
}

double ScriptedClock::Now() {
  ++calls;
  return now;
}

std::int32_t ScriptedRandom::Next(std::int32_t range) {
  ranges.push_back(range);
  if (range < 1 || values.empty()) return 0;
  const std::int32_t v = values.front();
  values.pop_front();
  // Reduce into range, negative scripted values included.
  const std::int64_t r = range;
  return static_cast<std::int32_t>(((v % r) + r) % r);
}

}  // namespace orvela
