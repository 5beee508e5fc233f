#pragma once
// SIGTERM and SIGINT (a system shut-down, `kill`, Ctrl+C) end the program
// through its normal shut-down: the fade, the screen saver restored. The signal
// handler only writes a byte into a pipe; the event loop reads it and runs the
// given call on the user-interface thread.
#include <functional>

class QObject;

namespace orvela {

// Installs the handlers for SIGTERM and SIGINT; `onSignal` runs in the event
// loop of the calling thread, once per signal. Answers false when the pipe or
// the handlers cannot be set up (the signals then keep their default action).
bool RunOnQuitSignals(QObject* owner, std::function<void()> onSignal);

// Whether one of those signals has arrived since the handlers were installed,
// known at once, before any event loop has seen it. Before the main event loop
// runs, a request to quit it is lost (the toolkit ignores it), so start-up
// asks this between its steps instead.
bool QuitSignalReceived();

}  // namespace orvela
