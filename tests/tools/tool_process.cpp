#include "tool_process.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <iterator>

extern char** environ;

namespace orvela::testing {

std::filesystem::path ProgramFile(const std::string& name) {
  return std::filesystem::read_symlink("/proc/self/exe").parent_path().parent_path() / "program" / name;
}

std::string ToolRun::How() const {
  return exited ? "exit " + std::to_string(status) : "signal " + std::to_string(signal);
}

ToolRun RunTool(const std::vector<std::string>& args, const ToolRunOptions& options) {
  ToolRun run;
  char outTemplate[] = "/tmp/orvela_tool_out_XXXXXX";
  char errTemplate[] = "/tmp/orvela_tool_err_XXXXXX";
  const int outCapture = ::mkstemp(outTemplate);
  const int errCapture = ::mkstemp(errTemplate);
  if (outCapture < 0 || errCapture < 0) {
    ADD_FAILURE() << "cannot create capture files";
    return run;
  }

  // Everything the child needs is built before fork: between fork and exec
  // only async-signal-safe calls are allowed.
  const std::string executable = options.executable.string();
  std::vector<std::string> words{executable};
  words.insert(words.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (std::string& word : words) argv.push_back(word.data());
  argv.push_back(nullptr);
  std::vector<std::string> environment{"SDL_AUDIODRIVER=dummy"};
  for (char** entry = environ; *entry != nullptr; ++entry) {
    if (std::string_view(*entry).starts_with("SDL_AUDIODRIVER=")) continue;
    environment.emplace_back(*entry);
  }
  environment.insert(environment.end(), options.extraEnvironment.begin(), options.extraEnvironment.end());
  std::vector<char*> envp;
  for (std::string& entry : environment) envp.push_back(entry.data());
  envp.push_back(nullptr);
  const char* stdoutPath = options.stdoutPath.empty() ? nullptr : options.stdoutPath.c_str();

  const pid_t child = ::fork();
  if (child == 0) {
    int out = outCapture;
    if (stdoutPath != nullptr) out = ::open(stdoutPath, O_WRONLY);
    if (out < 0 || ::dup2(out, STDOUT_FILENO) < 0 || ::dup2(errCapture, STDERR_FILENO) < 0) ::_exit(126);
    if (options.addressSpaceLimit != 0) {
      const rlimit limit{options.addressSpaceLimit, options.addressSpaceLimit};
      if (::setrlimit(RLIMIT_AS, &limit) != 0) ::_exit(126);
    }
    ::alarm(120);
    ::execve(argv[0], argv.data(), envp.data());
    ::_exit(127);
  }
  if (child > 0) {
    int raw = 0;
    while (::waitpid(child, &raw, 0) < 0 && errno == EINTR) {
    }
    run.exited = WIFEXITED(raw);
    run.status = run.exited ? WEXITSTATUS(raw) : -1;
    run.signal = WIFSIGNALED(raw) ? WTERMSIG(raw) : 0;
  } else {
    ADD_FAILURE() << "fork failed";
  }
  ::close(outCapture);
  ::close(errCapture);
  run.out = ReadFileBytes(outTemplate);
  run.err = ReadFileBytes(errTemplate);
  ::unlink(outTemplate);
  ::unlink(errTemplate);
  return run;
}

ScratchFolder::ScratchFolder() {
  const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
  std::string name = std::string("orvela_tool_") + info->test_suite_name() + "_" + info->name() + "_" +
                     std::to_string(::getpid());
  for (char& c : name)
    if (c == '/') c = '_';
  path_ = std::filesystem::temp_directory_path() / name;
  std::filesystem::remove_all(path_);
  std::filesystem::create_directories(path_);
}

ScratchFolder::~ScratchFolder() {
  std::error_code ignored;
  std::filesystem::remove_all(path_, ignored);
}

void WriteFileBytes(const std::filesystem::path& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << bytes;
}

std::string ReadFileBytes(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

ToolRun StopToolAfter(const std::vector<std::string>& args, int signal, int milliseconds) {
  ToolRun run;
  const std::string tool = ToolPath().string();
  std::vector<char*> argv{const_cast<char*>(tool.c_str())};
  for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
  argv.push_back(nullptr);
  const pid_t child = ::fork();
  if (child < 0) return run;
  if (child == 0) {
    const int devNull = ::open("/dev/null", O_WRONLY);
    ::dup2(devNull, STDOUT_FILENO);
    ::dup2(devNull, STDERR_FILENO);
    ::alarm(120);
    ::execv(tool.c_str(), argv.data());
    ::_exit(127);
  }
  ::usleep(static_cast<useconds_t>(milliseconds) * 1000);
  ::kill(child, signal);
  int raw = 0;
  ::waitpid(child, &raw, 0);
  run.exited = WIFEXITED(raw);
  run.status = run.exited ? WEXITSTATUS(raw) : -1;
  run.signal = WIFSIGNALED(raw) ? WTERMSIG(raw) : 0;
  return run;
}

}  // namespace orvela::testing
