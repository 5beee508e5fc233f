#include "jukebox/phone_settings.h"

namespace orvela {

namespace {

int InRangeOr(int value, int low, int high, int fallback) {
  return value >= low && value <= high ? value : fallback;
}

}  // namespace

TPhoneSettings ReadPhoneSettings(const TIniFile& ini) {
  TPhoneSettings settings;
  settings.enabled = ini.ReadBool(kPhoneSection, kPhoneOnKey, false);
  settings.port = InRangeOr(ini.ReadInteger(kPhoneSection, kPhonePortKey, settings.port),
                            TPhoneSettings::kMinPort, TPhoneSettings::kMaxPort, settings.port);
  // No limit at all (0) would let one phone fill the queue; a negative count is a slip.
  settings.perPhone = InRangeOr(ini.ReadInteger(kPhoneSection, kPhonePerPhoneKey, settings.perPhone), 1,
                                TPhoneSettings::kMaxPerPhone, settings.perPhone);
  settings.intervalSeconds =
      InRangeOr(ini.ReadInteger(kPhoneSection, kPhoneIntervalKey, settings.intervalSeconds), 0,
                TPhoneSettings::kMaxInterval, settings.intervalSeconds);
  return settings;
}

}  // namespace orvela
