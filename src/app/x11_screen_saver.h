#pragma once
// The screen saver of an X11 display: "active" means a non-zero timeout.
// Switching it off sets the timeout to 0 and remembers the old one, so switching
// it on again restores it. Without an X11 display (Wayland, the offscreen
// platform, no DISPLAY, a build without Xlib) every call is a no-op and
// IsActive answers false.
#include "common/platform.h"

namespace orvela {

class X11ScreenSaver : public ScreenSaver {
 public:
  // Timeout in seconds used when switching on a saver whose old timeout is unknown.
  static constexpr int kDefaultTimeoutSeconds = 600;

  bool IsActive() override;
  void SetActive(bool active) override;
  // Whether an X11 display is reachable; false under other platforms.
  static bool Available();

 private:
  int savedTimeout_ = 0;
};

}  // namespace orvela
