#pragma once
// The program's application object. Every window handler runs inside Qt's event
// delivery; an exception leaving a handler would end the program in the middle
// of a night. Whatever a handler does not catch itself ends here instead: one
// message box, and the jukebox goes on.
#include <QApplication>
#include <functional>

namespace orvela {

class Dialogs;

// Runs `handler`; a failure that escapes it becomes one message box through
// `dialogs` (an allocation failure with its own text). False after a failure.
bool RunGuarded(Dialogs& dialogs, const std::function<void()>& handler);

class TGuardedApplication : public QApplication {
 public:
  TGuardedApplication(int& argc, char** argv);
  // Set once the dialog service exists; until then failures are only swallowed.
  void SetDialogs(Dialogs* dialogs) { dialogs_ = dialogs; }

  bool notify(QObject* receiver, QEvent* event) override;

 private:
  Dialogs* dialogs_ = nullptr;
};

}  // namespace orvela
