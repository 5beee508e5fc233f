#pragma once
// A plain socket client for the server tests: it runs on a thread of its own
// while the test's thread turns the event loop the server lives on, and it
// sends exactly the bytes a test gives, well-formed or not.
#include <QCoreApplication>
#include <QEventLoop>
#include <chrono>
#include <future>
#include <string>
#include <vector>

namespace orvela::testing {

// Runs `work` on another thread and serves the event loop until it is done.
template <class F>
auto WhileServing(F work) {
  auto future = std::async(std::launch::async, std::move(work));
  while (future.wait_for(std::chrono::milliseconds(0)) != std::future_status::ready) {
    QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
  }
  return future.get();
}

// Serves the event loop for a while (deadlines of the server's own).
void ServeFor(int milliseconds);

struct RawReply {
  std::string bytes;       // everything read until the server closed or the wait ended
  bool closedByServer = false;
  bool sendFailed = false;  // the server closed before it had all
  int Status() const;      // of the first answer's status line; 0 without one
  std::string Body() const;
  bool Complete() const;  // the whole first answer has arrived
};

// One connection from `fromAddress` (any 127.x.y.z) to the server's port:
// sends `request` (in `chunks` pieces, `pauseMs` apart), then reads for up to
// `waitMs`.
RawReply Exchange(int port, const std::string& request, int waitMs = 3000, const char* fromAddress = "127.0.0.1",
                  int chunks = 1, int pauseMs = 0);

// Opens a connection that sends nothing; -1 when refused.
int OpenIdle(int port, const char* fromAddress);
// Whether the server has closed it (reads end of stream within waitMs).
bool ClosedByServer(int fd, int waitMs);
// Sends all of `bytes` on an open connection; false when it broke.
bool SendOn(int fd, const std::string& bytes);
void CloseFd(int fd);
// Raises this process's open-file limit as far as it may go.
void RaiseFileLimit();

}  // namespace orvela::testing
