#include "support/raw_client.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QElapsedTimer>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <thread>

namespace orvela::testing {

void ServeFor(int milliseconds) {
  QElapsedTimer timer;
  timer.start();
  while (timer.elapsed() < milliseconds) QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
}

int RawReply::Status() const {
  if (bytes.compare(0, 9, "HTTP/1.1 ") != 0 || bytes.size() < 12) return 0;
  return std::atoi(bytes.substr(9, 3).c_str());
}

bool RawReply::Complete() const {
  // Kept-alive answers end where their length says; the server need not close.
  const std::size_t end = bytes.find("\r\n\r\n");
  if (end == std::string::npos) return false;
  std::string head = bytes.substr(0, end);
  for (char& c : head) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  const std::size_t at = head.find("\r\ncontent-length:");
  if (at == std::string::npos) return false;
  return bytes.size() - end - 4 >= static_cast<std::size_t>(std::atoll(head.c_str() + at + 17));
}

std::string RawReply::Body() const {
  const std::size_t end = bytes.find("\r\n\r\n");
  return end == std::string::npos ? std::string() : bytes.substr(end + 4);
}

namespace {

int Connect(int port, const char* fromAddress) {
  const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return -1;
  sockaddr_in from{};
  from.sin_family = AF_INET;
  ::inet_pton(AF_INET, fromAddress, &from.sin_addr);
  ::bind(fd, reinterpret_cast<sockaddr*>(&from), sizeof from);
  sockaddr_in to{};
  to.sin_family = AF_INET;
  to.sin_port = htons(static_cast<std::uint16_t>(port));
  ::inet_pton(AF_INET, "127.0.0.1", &to.sin_addr);
  if (::connect(fd, reinterpret_cast<sockaddr*>(&to), sizeof to) != 0) {
    ::close(fd);
    return -1;
  }
  return fd;
}

}  // namespace

RawReply Exchange(int port, const std::string& request, int waitMs, const char* fromAddress, int chunks,
                  int pauseMs) {
  RawReply reply;
  const int fd = Connect(port, fromAddress);
  if (fd < 0) {
    reply.closedByServer = true;
    return reply;
  }
  const std::size_t piece = request.size() / static_cast<std::size_t>(std::max(chunks, 1)) + 1;
  for (std::size_t at = 0; at < request.size(); at += piece) {
    std::size_t left = std::min(piece, request.size() - at);
    const char* p = request.data() + at;
    while (left > 0) {
      const ssize_t n = ::send(fd, p, left, MSG_NOSIGNAL);
      if (n <= 0) {
        reply.sendFailed = true;
        break;
      }
      p += n;
      left -= static_cast<std::size_t>(n);
    }
    if (reply.sendFailed) break;
    if (pauseMs > 0) std::this_thread::sleep_for(std::chrono::milliseconds(pauseMs));
  }
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(waitMs);
  char buffer[65536];
  while (std::chrono::steady_clock::now() < deadline) {
    pollfd p{fd, POLLIN, 0};
    const int left = static_cast<int>(
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now()).count());
    if (::poll(&p, 1, std::max(left, 1)) <= 0) break;
    const ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
    if (n <= 0) {
      reply.closedByServer = true;
      break;
    }
    reply.bytes.append(buffer, static_cast<std::size_t>(n));
    if (reply.bytes.size() > 4 * 1024 * 1024 || reply.Complete()) break;
  }
  ::close(fd);
  return reply;
}

int OpenIdle(int port, const char* fromAddress) { return Connect(port, fromAddress); }

bool ClosedByServer(int fd, int waitMs) {
  pollfd p{fd, POLLIN, 0};
  if (::poll(&p, 1, waitMs) <= 0) return false;
  char c;
  return ::recv(fd, &c, 1, MSG_DONTWAIT) <= 0;
}

bool SendOn(int fd, const std::string& bytes) {
  std::size_t at = 0;
  while (at < bytes.size()) {
    const ssize_t n = ::send(fd, bytes.data() + at, bytes.size() - at, MSG_NOSIGNAL);
    if (n <= 0) return false;
    at += static_cast<std::size_t>(n);
  }
  return true;
}

void CloseFd(int fd) { ::close(fd); }

void RaiseFileLimit() {
  rlimit limit{};
  if (::getrlimit(RLIMIT_NOFILE, &limit) == 0 && limit.rlim_cur < limit.rlim_max) {
    limit.rlim_cur = limit.rlim_max;
    ::setrlimit(RLIMIT_NOFILE, &limit);
  }
}

}  // namespace orvela::testing
