#pragma once
// Runs a piece of a test in a forked child, for faults that take the process
// with them: a call that blocks for ever (a FIFO opened without a writer), an
// allocation that outgrows a memory limit, an exception nobody catches. The
// child's alarm only ends a hang; no result depends on how quickly it runs.
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>

namespace orvela::testing {

// Memory limits mean nothing under AddressSanitizer, which reserves terabytes.
#if defined(__SANITIZE_ADDRESS__)
inline constexpr bool kMemoryLimitsWork = false;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
inline constexpr bool kMemoryLimitsWork = false;
#else
inline constexpr bool kMemoryLimitsWork = true;
#endif
#else
inline constexpr bool kMemoryLimitsWork = true;
#endif

struct ChildOutcome {
  bool exited = false;  // left through exit with `code`
  int code = -1;
  int signal = 0;       // the signal that ended it otherwise (SIGALRM: it hung; SIGABRT: it aborted)

  bool Ok() const { return exited && code == 0; }
  std::string Describe() const {
    if (exited) return "exit code " + std::to_string(code);
    return std::string("killed by signal ") + std::to_string(signal) +
           (signal == SIGALRM ? " (it hung)" : signal == SIGABRT ? " (it aborted)" : "");
  }
};

// The address space the process holds now, in bytes.
inline std::uint64_t AddressSpaceBytes() {
  unsigned long pages = 0;
  if (std::FILE* f = std::fopen("/proc/self/statm", "r")) {
    if (std::fscanf(f, "%lu", &pages) != 1) pages = 0;
    std::fclose(f);
  }
  return static_cast<std::uint64_t>(pages) * static_cast<std::uint64_t>(::sysconf(_SC_PAGESIZE));
}

// Lets the process grow by at most `bytes` beyond what it holds now.
inline bool LimitGrowth(std::uint64_t bytes) {
  rlimit limit{};
  if (::getrlimit(RLIMIT_AS, &limit) != 0) return false;
  limit.rlim_cur = static_cast<rlim_t>(AddressSpaceBytes() + bytes);
  return ::setrlimit(RLIMIT_AS, &limit) == 0;
}

// Runs `body` in a child process; its return value is the exit code. With
// `growthLimit` > 0 the child may grow by at most that many bytes.
inline ChildOutcome RunInChild(const std::function<int()>& body, std::uint64_t growthLimit = 0,
                               unsigned hangSeconds = 120) {
  std::fflush(nullptr);
  const pid_t pid = ::fork();
  if (pid < 0) return {};
  if (pid == 0) {
    ::alarm(hangSeconds);
    if (growthLimit > 0 && !LimitGrowth(growthLimit)) ::_exit(90);
    const int code = body();
    ::_exit(code);
  }
  int status = 0;
  while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  ChildOutcome outcome;
  if (WIFEXITED(status)) {
    outcome.exited = true;
    outcome.code = WEXITSTATUS(status);
  } else if (WIFSIGNALED(status)) {
    outcome.signal = WTERMSIG(status);
  }
  return outcome;
}

}  // namespace orvela::testing
