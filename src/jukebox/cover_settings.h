#pragma once
// The covers' settings, in a section of Jukebox.ini of their own ("[Cover]").
// A Jukebox.ini without the section shows the text-only screen exactly as it
// always was: no pictures, no attract screen.
#include "jukebox/jukebox_ini.h"

namespace orvela {

inline constexpr const char* kCoverSection = "Cover";
inline constexpr const char* kCoverOnKey = "Aktiv";      // boolean, default off
inline constexpr const char* kCoverIdleKey = "Leerlauf";  // minutes to the attract screen, 0 = never

struct TCoverSettings {
  bool enabled = false;
  int idleMinutes = 10;

  // A day is the longest wait that still means something in a bar; a larger
  // number is a typing slip, not a wish to switch the attract screen off.
  static constexpr int kMaxIdleMinutes = 24 * 60;
};

// A wait outside 0..kMaxIdleMinutes, or one that is no integer, gives the default.
TCoverSettings ReadCoverSettings(const TIniFile& ini);

}  // namespace orvela
