#pragma once
// The phones' page settings, in a section of Jukebox.ini of their own
// ("[Handy]"). A Jukebox.ini without the section opens no port and the screen
// stays as it always was.
#include "jukebox/jukebox_ini.h"

namespace orvela {

inline constexpr const char* kPhoneSection = "Handy";
inline constexpr const char* kPhoneOnKey = "Aktiv";           // boolean, default off
inline constexpr const char* kPhonePortKey = "Port";          // TCP port, default 8080
inline constexpr const char* kPhonePerPhoneKey = "ProHandy";  // titles of one phone waiting at once
inline constexpr const char* kPhoneIntervalKey = "Abstand";   // seconds between two of one phone's choices

struct TPhoneSettings {
  bool enabled = false;
  int port = 8080;
  int perPhone = 2;
  int intervalSeconds = 30;

  // Ports below 1024 need privileges the kiosk user does not have.
  static constexpr int kMinPort = 1024;
  static constexpr int kMaxPort = 65535;
  static constexpr int kMaxPerPhone = 100;
  static constexpr int kMaxInterval = 24 * 60 * 60;
};

// A value outside its range, or one that is no integer, gives its default.
TPhoneSettings ReadPhoneSettings(const TIniFile& ini);

}  // namespace orvela
