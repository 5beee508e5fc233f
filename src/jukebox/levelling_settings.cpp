#include "jukebox/levelling_settings.h"

namespace orvela {

TLevellingSettings ReadLevellingSettings(const TIniFile& ini) {
  TLevellingSettings settings;
  settings.enabled = ini.ReadBool(kLevellingSection, kLevellingOnKey, false);
  const int target = ini.ReadInteger(kLevellingSection, kLevellingTargetKey, static_cast<int>(settings.targetLufs));
  if (target >= TLevellingSettings::kMinTarget && target <= TLevellingSettings::kMaxTarget) {
    settings.targetLufs = target;
  }
  return settings;
}

}  // namespace orvela
