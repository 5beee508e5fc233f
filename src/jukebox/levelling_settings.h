#pragma once
// The loudness levelling's two settings, in a section of Jukebox.ini of their
// own ("[Lautheit]"), which the settings writers leave alone like every entry
// they do not know. A Jukebox.ini without the section plays every title as
// decoded, exactly as before levelling existed.
#include "jukebox/jukebox_ini.h"

namespace orvela {

inline constexpr const char* kLevellingSection = "Lautheit";
inline constexpr const char* kLevellingOnKey = "Angleichen";   // boolean, default off
inline constexpr const char* kLevellingTargetKey = "Ziel";     // whole LUFS, default -16

struct TLevellingSettings {
  bool enabled = false;
  double targetLufs = -16.0;

  // Targets outside this range are typing slips: -5 LUFS would push nearly
  // every title into its peak ceiling, -40 would make the bar whisper.
  static constexpr int kMinTarget = -40;
  static constexpr int kMaxTarget = -5;
};

// A target outside the range, or one that is no integer, gives the default.
TLevellingSettings ReadLevellingSettings(const TIniFile& ini);

}  // namespace orvela
