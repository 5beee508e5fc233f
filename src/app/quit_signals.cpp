#include "app/quit_signals.h"

#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QObject>
#include <QSocketNotifier>
#include <cerrno>
#include <csignal>

namespace orvela {
namespace {

int g_signalWriteEnd = -1;
volatile std::sig_atomic_t g_quitReceived = 0;

extern "C" void WriteSignalByte(int signal) {
  const int savedErrno = errno;
  g_quitReceived = 1;
  const char byte = static_cast<char>(signal);
  // Non-blocking: a burst of signals while the loop is busy must not hang the handler.
  [[maybe_unused]] const ssize_t n = ::write(g_signalWriteEnd, &byte, 1);
  errno = savedErrno;
}

}  // namespace

bool QuitSignalReceived() { return g_quitReceived != 0; }

bool RunOnQuitSignals(QObject* owner, std::function<void()> onSignal) {
  int fds[2];
  if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0, fds) != 0) return false;
  auto* notifier = new QSocketNotifier(fds[0], QSocketNotifier::Read, owner);
  QObject::connect(notifier, &QSocketNotifier::activated, notifier,
                   [readEnd = fds[0], onSignal = std::move(onSignal)] {
                     char bytes[16];
                     while (::read(readEnd, bytes, sizeof bytes) > 0) {
                     }
                     if (onSignal) onSignal();
                   });
  g_signalWriteEnd = fds[1];

  struct sigaction action {};
  action.sa_handler = WriteSignalByte;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  return ::sigaction(SIGTERM, &action, nullptr) == 0 && ::sigaction(SIGINT, &action, nullptr) == 0;
}

}  // namespace orvela
