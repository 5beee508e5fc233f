#include "jukebox/cover_settings.h"

namespace orvela {

TCoverSettings ReadCoverSettings(const TIniFile& ini) {
  TCoverSettings settings;
  settings.enabled = ini.ReadBool(kCoverSection, kCoverOnKey, false);
  const int idle = ini.ReadInteger(kCoverSection, kCoverIdleKey, settings.idleMinutes);
  if (idle >= 0 && idle <= TCoverSettings::kMaxIdleMinutes) settings.idleMinutes = idle;
  return settings;
}

}  // namespace orvela
