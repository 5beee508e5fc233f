#pragma once
// Figures of a piece of work: the process's CPU time, and its memory measured
// in a child process.
#include <malloc.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <string>

namespace orvela::bench {

// CPU seconds of the whole process, all its threads: on a shared machine the
// wall time says little, the CPU what an idle machine would take.
inline double ProcessCpuSeconds() {
  timespec ts{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
  return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) * 1e-9;
}

// Runs work() in a child process, so that neither the parent's memory nor what an
// earlier measurement left behind counts. Nothing measured passes the pipe but
// plain numbers.
struct ChildFigures {
  double baseMB = 0;     // resident at the start of the work
  double peakMB = 0;     // highest resident during it
  double keptMB = 0;     // resident at its end, after giving free memory back
  double seconds = 0;
  bool ok = false;
};

double StatusMB(const char* field) {
  std::ifstream status("/proc/self/status");
  std::string line;
  const std::string prefix = std::string(field) + ":";
  while (std::getline(status, line))
    if (line.compare(0, prefix.size(), prefix) == 0) return std::stod(line.substr(prefix.size())) / 1024.0;
  return 0;
}

template <class Work>
ChildFigures MeasureInChild(Work work) {
  int fds[2];
  if (pipe(fds) != 0) return {};
  const pid_t pid = fork();
  if (pid == 0) {
    close(fds[0]);
    ChildFigures figures;
    // Starts the peak afresh where the kernel allows it; otherwise the peak starts at
    // what the child took over from its parent, which the base holds as well.
    if (FILE* clear = std::fopen("/proc/self/clear_refs", "w")) {
      std::fputs("5", clear);
      std::fclose(clear);
    }
    figures.baseMB = StatusMB("VmRSS");
    const auto start = std::chrono::steady_clock::now();
    figures.ok = work();
    figures.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    malloc_trim(0);
    figures.keptMB = StatusMB("VmRSS");
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    figures.peakMB = std::max(StatusMB("VmHWM"), static_cast<double>(usage.ru_maxrss) / 1024.0);
    [[maybe_unused]] const ssize_t written = write(fds[1], &figures, sizeof figures);
    _exit(0);
  }
  close(fds[1]);
  ChildFigures figures;
  if (pid < 0 || read(fds[0], &figures, sizeof figures) != static_cast<ssize_t>(sizeof figures)) figures.ok = false;
  close(fds[0]);
  if (pid > 0) waitpid(pid, nullptr, 0);
  return figures;
}

}  // namespace orvela::bench
