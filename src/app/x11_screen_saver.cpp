#include "app/x11_screen_saver.h"

#include <QGuiApplication>
#include <QString>
#include <cstdlib>

#ifdef ORVELA_HAVE_X11
#include <X11/Xlib.h>
#endif

namespace orvela {
namespace {

// Only the xcb platform has an X11 display to talk to. Under Wayland (even
// with XWayland's DISPLAY set) or the offscreen platform the saver belongs to
// someone else, and changing it from here would be wrong.
bool OnX11() {
#ifdef ORVELA_HAVE_X11
  if (QGuiApplication::instance() != nullptr) {
    return QGuiApplication::platformName() == QLatin1String("xcb");
  }
  const char* display = std::getenv("DISPLAY");
  const char* platform = std::getenv("QT_QPA_PLATFORM");
  if (platform != nullptr && QLatin1String(platform) != QLatin1String("xcb")) return false;
  return display != nullptr && *display != '\0';
#else
  return false;
#endif
}

#ifdef ORVELA_HAVE_X11
// A short-lived connection of our own: independent of Qt's, opened and closed
// within each call like every other service here.
class Connection {
 public:
  Connection() : display_(OnX11() ? XOpenDisplay(nullptr) : nullptr) {}
  ~Connection() {
    if (display_ != nullptr) XCloseDisplay(display_);
  }
  Connection(const Connection&) = delete;
  Connection& operator=(const Connection&) = delete;
  Display* get() const { return display_; }

 private:
  Display* display_;
};
#endif

}  // namespace

bool X11ScreenSaver::Available() {
#ifdef ORVELA_HAVE_X11
  return Connection().get() != nullptr;
#else
  return false;
#endif
}

bool X11ScreenSaver::IsActive() {
#ifdef ORVELA_HAVE_X11
  Connection c;
  if (c.get() == nullptr) return false;
  int timeout = 0, interval = 0, preferBlanking = 0, allowExposures = 0;
  XGetScreenSaver(c.get(), &timeout, &interval, &preferBlanking, &allowExposures);
  return timeout != 0;
#else
  return false;
#endif
}

void X11ScreenSaver::SetActive(bool active) {
#ifdef ORVELA_HAVE_X11
  Connection c;
  if (c.get() == nullptr) return;
  int timeout = 0, interval = 0, preferBlanking = 0, allowExposures = 0;
  XGetScreenSaver(c.get(), &timeout, &interval, &preferBlanking, &allowExposures);
  int wanted = timeout;
  if (active && timeout == 0) {
    wanted = savedTimeout_ > 0 ? savedTimeout_ : kDefaultTimeoutSeconds;
  } else if (!active && timeout != 0) {
    savedTimeout_ = timeout;
    wanted = 0;
  }
  if (wanted == timeout) return;
  XSetScreenSaver(c.get(), wanted, interval, preferBlanking, allowExposures);
  // The setting lives in the server and outlasts this connection once flushed.
  XSync(c.get(), False);
#else
  (void)active;
#endif
}

}  // namespace orvela
