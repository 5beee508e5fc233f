#include "common/system_clock.h"

#include <ctime>

namespace orvela {

double SystemClock::Now() {
  timespec ts{};
  clock_gettime(CLOCK_REALTIME, &ts);
  tm local{};
  localtime_r(&ts.tv_sec, &local);
  // The local wall-clock fields read back as if they were UTC give the local
  // time's count of seconds since 1.1.1970 (daylight saving included); that
  // day is 25569 days after 30.12.1899.
  const double localSeconds = static_cast<double>(timegm(&local)) +
                              static_cast<double>(ts.tv_nsec) / 1e9;
  return 25569.0 + localSeconds / 86400.0;
}

}  // namespace orvela
