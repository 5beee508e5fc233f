#include "long_command.h"

#include <unistd.h>

#include <algorithm>
#include <charconv>
#include <csignal>
#include <thread>

#include "field_escape.h"

namespace orvela::tool {

namespace {

volatile std::sig_atomic_t stopSignal = 0;

extern "C" void OnStopSignal(int signal) { stopSignal = signal; }

}  // namespace

namespace {

// The whole text as a count of jobs: "1x", "+4" or a number past what fits are no count.
std::optional<unsigned> JobCount(const std::string& text) {
  unsigned n = 0;
  const char* end = text.data() + text.size();
  const auto [stop, error] = std::from_chars(text.data(), end, n);
  if (error != std::errc() || stop != end || n < 1 || n > kMaxJobs) return std::nullopt;
  return n;
}

}  // namespace

std::optional<FolderAndJobs> ParseFolderAndJobs(const char* command, const std::vector<std::string>& args,
                                                const char* usage) {
  std::vector<std::string> paths;
  FolderAndJobs parsed;
  parsed.jobs = std::max(1u, std::thread::hardware_concurrency());
  for (std::size_t i = 0; i < args.size(); ++i) {
    if (args[i] == "--jobs" && i + 1 < args.size()) {
      const std::optional<unsigned> n = JobCount(args[++i]);
      if (!n) {
        std::fprintf(stderr, "%s: --jobs wants a number from 1 to %u, not %s\n", command, kMaxJobs,
                     EscapeField(args[i]).c_str());
        std::fprintf(stderr, "%s", usage);
        return std::nullopt;
      }
      parsed.jobs = *n;
    } else if (!args[i].empty() && args[i][0] != '-') {
      paths.push_back(args[i]);
    } else {
      std::fprintf(stderr, "%s", usage);
      return std::nullopt;
    }
  }
  if (paths.size() != 1) {
    std::fprintf(stderr, "%s", usage);
    return std::nullopt;
  }
  parsed.folder = paths[0];
  return parsed;
}

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
