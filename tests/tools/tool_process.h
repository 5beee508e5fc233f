#pragma once
// Runs the built tool in a child process, with its output captured or sent to
// a given file, optionally under a limit on its address space.
#include <sys/resource.h>

#include <filesystem>
#include <string>
#include <vector>

namespace orvela::testing {

// The executables of the program folder; this test binary lives in <build>/tests.
std::filesystem::path ProgramFile(const std::string& name);
inline std::filesystem::path ToolPath() { return ProgramFile("orvela-jukebox-tool"); }

struct ToolRunOptions {
  std::filesystem::path executable = ToolPath();
  std::string stdoutPath;        // empty: captured into ToolRun::out
  rlim_t addressSpaceLimit = 0;  // bytes; 0: no limit
  std::vector<std::string> extraEnvironment;  // "NAME=value"
};

struct ToolRun {
  bool exited = false;  // false: ended by a signal (or never started)
  int status = -1;      // exit status when exited
  int signal = 0;
  std::string out;
  std::string err;
  // "exit 1" / "signal 6", for failure messages.
  std::string How() const;
};

// A child that runs for two minutes is stopped by SIGALRM, so a hang shows as a
// signal instead of a test that never ends.
ToolRun RunTool(const std::vector<std::string>& args, const ToolRunOptions& options = {});

// Starts the tool with its output thrown away, sends `signal` after
// `milliseconds` as Ctrl-C or a service stop would, and waits for its end:
// how it ended (a run that finished before the signal shows its own status).
ToolRun StopToolAfter(const std::vector<std::string>& args, int signal, int milliseconds);

// A folder of its own for the running test, removed afterwards.
class ScratchFolder {
 public:
  ScratchFolder();
  ~ScratchFolder();
  ScratchFolder(const ScratchFolder&) = delete;
  ScratchFolder& operator=(const ScratchFolder&) = delete;
  const std::filesystem::path& Path() const { return path_; }
  std::string File(const std::string& name) const { return (path_ / name).string(); }

 private:
  std::filesystem::path path_;
};

void WriteFileBytes(const std::filesystem::path& path, const std::string& bytes);
std::string ReadFileBytes(const std::filesystem::path& path);

}  // namespace orvela::testing
