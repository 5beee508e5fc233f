#pragma once
// Runs part of a test in a child process: for a check that could hang the test
// program (opening a FIFO the blocking way) or must exhaust the process (a
// memory limit). The child's exit code is its verdict. A watchdog alarm turns a
// hang into a failure instead of a test run that never ends; it asserts nothing
// about speed.
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <string>

namespace orvela::testing {

struct ChildVerdict {
  bool exited = false;  // ended by _exit, not by a signal (abort, the watchdog)
  int code = -1;
  int signal = 0;
  bool Passed() const { return exited && code == 0; }
};

inline std::string Describe(const ChildVerdict& v) {
  return v.exited ? "child exited with " + std::to_string(v.code) : "child killed by signal " + std::to_string(v.signal);
}

template <class Check>
ChildVerdict RunInChild(Check check, unsigned watchdogSeconds = 60) {
  std::fflush(stdout);
  std::fflush(stderr);
  const pid_t pid = ::fork();
  if (pid == 0) {
    ::alarm(watchdogSeconds);
    const int code = check();
    std::fflush(stdout);
    ::_exit(code);
  }
  ChildVerdict verdict;
  int status = 0;
  if (pid < 0 || ::waitpid(pid, &status, 0) != pid) return verdict;
  verdict.exited = WIFEXITED(status);
  verdict.code = verdict.exited ? WEXITSTATUS(status) : -1;
  verdict.signal = WIFSIGNALED(status) ? WTERMSIG(status) : 0;
  return verdict;
}

// Address space in use now, from /proc; the base for a limit a test sets.
inline std::size_t AddressSpaceBytes() {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line))
    if (line.rfind("VmSize:", 0) == 0) return std::stoull(line.substr(7)) * 1024;
  return 0;
}

// Lets the process grow by at most `more` bytes of address space from here.
inline bool LimitAddressSpaceGrowth(std::size_t more) {
  const std::size_t now = AddressSpaceBytes();
  if (now == 0) return false;
  const rlimit limit{now + more, now + more};
  return ::setrlimit(RLIMIT_AS, &limit) == 0;
}

// Address sanitizer reserves terabytes of address space; a limit on it cannot work there.
#if defined(__SANITIZE_ADDRESS__)
inline constexpr bool kAddressSpaceLimitsWork = false;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
inline constexpr bool kAddressSpaceLimitsWork = false;
#else
inline constexpr bool kAddressSpaceLimitsWork = true;
#endif
#else
inline constexpr bool kAddressSpaceLimitsWork = true;
#endif

}  // namespace orvela::testing
