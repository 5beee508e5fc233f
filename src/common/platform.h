#pragma once
// The operating-system services the jukebox asks for, behind small interfaces so
// that every rule can be tested without a display, a screen saver or a clock.
#include <cstdint>
#include <string>

namespace orvela {

class ScreenSaver {
 public:
  virtual ~ScreenSaver() = default;
  virtual bool IsActive() = 0;
  virtual void SetActive(bool active) = 0;
};

class MousePointer {
 public:
  virtual ~MousePointer() = default;
  virtual void Show(bool visible) = 0;
};

class Clock {
 public:
  virtual ~Clock() = default;
  // Local date and time as days since 30 December 1899 (fraction = time of day).
  virtual double Now() = 0;
};

class RandomSource {
 public:
  virtual ~RandomSource() = default;
  // A number in 0 .. range-1 (range > 0).
  virtual std::int32_t Next(std::int32_t range) = 0;
};

// Folder of the running executable with a trailing "/", as a code-page string.
std::string ProgramDirectory();

}  // namespace orvela
