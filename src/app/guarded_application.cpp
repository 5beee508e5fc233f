#include "app/guarded_application.h"

#include <exception>
#include <new>
#include <string>

#include "common/dialogs.h"

namespace orvela {

namespace {

constexpr const char* kOutOfMemoryText =
    "Nicht gen\xFCgend Arbeitsspeicher. Die letzte Aktion wurde abgebrochen.";

}  // namespace

bool RunGuarded(Dialogs& dialogs, const std::function<void()>& handler) {
  try {
    handler();
    return true;
  } catch (const std::bad_alloc&) {
    dialogs.ShowMessage(kOutOfMemoryText);
  } catch (const std::exception& e) {
    dialogs.Error(e.what());
  } catch (...) {
    dialogs.Error("Unbekannter Fehler. Die letzte Aktion wurde abgebrochen.");
  }
  return false;
}

TGuardedApplication::TGuardedApplication(int& argc, char** argv) : QApplication(argc, argv) {}

bool TGuardedApplication::notify(QObject* receiver, QEvent* event) {
  bool handled = false;
  if (dialogs_ == nullptr) {
    try {
      handled = QApplication::notify(receiver, event);
    } catch (...) {
    }
    return handled;
  }
  RunGuarded(*dialogs_, [&] { handled = QApplication::notify(receiver, event); });
  return handled;
}

}  // namespace orvela
