#include "long_command.h"

#include <unistd.h>

#include <csignal>

namespace orvela::tool {

namespace {

volatile std::sig_atomic_t stopSignal = 0;

extern "C" void OnStopSignal(int signal) { stopSignal = signal; }

}  // namespace

void CatchStopSignals() {
  struct sigaction action {};
  action.sa_handler = OnStopSignal;
  sigemptyset(&action.sa_mask);
  ::sigaction(SIGINT, &action, nullptr);
  ::sigaction(SIGTERM, &action, nullptr);
}

int StopSignal() { return stopSignal; }

double SecondsSince(Clock::time_point start) { return std::chrono::duration<double>(Clock::now() - start).count(); }

double Rate(std::size_t items, double seconds) { return seconds > 0 ? static_cast<double>(items) / seconds : 0.0; }

ProgressLine::ProgressLine(std::FILE* stream) : stream_(stream), shown_(::isatty(::fileno(stream)) == 1) {}

bool ProgressLine::Due() const {
  return shown_ && (!written_ || Clock::now() - last_ >= std::chrono::milliseconds(100));
}

void ProgressLine::Show(const std::string& text) {
  if (!Due()) return;
  last_ = Clock::now();
  std::fprintf(stream_, "\r\033[K%s", text.c_str());
  std::fflush(stream_);
  written_ = true;
}

void ProgressLine::Clear() {
  if (written_) std::fprintf(stream_, "\r\033[K");
  written_ = false;
}

}  // namespace orvela::tool
