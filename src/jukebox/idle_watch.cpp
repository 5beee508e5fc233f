#include "jukebox/idle_watch.h"

namespace orvela {

TIdleWatch::TIdleWatch(int idleMinutes, double nowSeconds)
    : waitSeconds_(idleMinutes > 0 ? idleMinutes * 60.0 : 0.0), quietSince_(nowSeconds) {}

bool TIdleWatch::Touch(double nowSeconds) {
  quietSince_ = nowSeconds;
  const bool woke = showing_;
  showing_ = false;
  return woke;
}

bool TIdleWatch::Tick(double nowSeconds, bool musicPlaying) {
  if (musicPlaying) {
    quietSince_ = nowSeconds;
    showing_ = false;
  } else if (nowSeconds < quietSince_) {
    // A clock that went back (a caller mixing clocks): wait again from now
    // rather than for as long as it went back.
    quietSince_ = nowSeconds;
  } else if (waitSeconds_ > 0 && nowSeconds - quietSince_ >= waitSeconds_) {
    showing_ = true;
  }
  return showing_;
}

}  // namespace orvela
