#pragma once
// What the commands that run for minutes share (scan, loudness, covers): Ctrl-C or
// SIGTERM ends them at their next step with what they did kept, and on a
// terminal one progress line is rewritten in place; a log file or a pipe gets
// none of it, only the summary.
#include <chrono>
#include <cstddef>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

namespace orvela::tool {

// "PROGRAM_FOLDER [--jobs N]", N from 1 to kMaxJobs and all cores without it.
constexpr unsigned kMaxJobs = 256;
struct FolderAndJobs {
  std::string folder;
  unsigned jobs = 1;
};
// Nothing, after the usage (and what was wrong) is on stderr: the command ends with status 2.
std::optional<FolderAndJobs> ParseFolderAndJobs(const char* command, const std::vector<std::string>& args,
                                                const char* usage);

void CatchStopSignals();
// The stop signal that arrived, 0 while none did.
int StopSignal();

using Clock = std::chrono::steady_clock;
double SecondsSince(Clock::time_point start);
// Items per second; 0 before any time has passed.
double Rate(std::size_t items, double seconds);

class ProgressLine {
 public:
  explicit ProgressLine(std::FILE* stream);
  // Whether a Show now would be seen: on a terminal, at most ten times a second.
  bool Due() const;
  // Shows text in place of the line shown before, when due.
  void Show(const std::string& text);
  void Clear();

 private:
  std::FILE* stream_;
  bool shown_;
  bool written_ = false;
  Clock::time_point last_{};
};

}  // namespace orvela::tool
