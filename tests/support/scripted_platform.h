#pragma once
// Platform services for tests: they record what was asked and answer as set.
#include <cstdint>
#include <deque>
#include <vector>

#include "common/platform.h"

namespace orvela {

class ScriptedScreenSaver : public ScreenSaver {
 public:
  explicit ScriptedScreenSaver(bool active = true) : active(active) {}
  bool IsActive() override;
  void SetActive(bool value) override;

  bool active;
  int queries = 0;
  std::vector<bool> setCalls;  // every SetActive argument, in order
};

class ScriptedMousePointer : public MousePointer {
 public:
  void Show(bool visible) override;

  bool visible = true;
  std::vector<bool> showCalls;  // every Show argument, in order
};

class ScriptedClock : public Clock {
 public:
  explicit ScriptedClock(double now = 0.0) : now(now) {}
  double Now() override;
  void AdvanceSeconds(double seconds) { now += seconds / 86400.0; }

  double now;
  int calls = 0;
};

class ScriptedRandom : public RandomSource {
 public:
  // Answers the queued values in order, each reduced into 0..range-1; with none
  // left it answers 0.
  std::int32_t Next(std::int32_t range) override;

  std::deque<std::int32_t> values;
  std::vector<std::int32_t> ranges;  // every range asked for, in order
};

}  // namespace orvela
