#include <cerrno>
#include <cstdio>
#include <cstring>
#include <exception>
#include <map>
#include <new>
#include <string>
#include <vector>

#include "command.h"
#include "field_escape.h"

namespace orvela::tool {
namespace {

struct Command {
  std::string usage;
  CommandFunction run;
};

std::map<std::string, Command>& Registry() {
  static std::map<std::string, Command> commands;
  return commands;
}

int Usage() {
  std::fprintf(stderr, "usage: orvela-jukebox-tool COMMAND [ARGS...]\n\ncommands:\n");
  for (const auto& [name, cmd] : Registry()) std::fprintf(stderr, "  %s\n", cmd.usage.c_str());
  return 2;
}

// A script that reads the output must be able to tell a full disk or a closed
// pipe from success: whatever the command answered, output that did not arrive
// makes the run fail.
int FinishOutput(const char* command, int status) {
  errno = 0;
  const bool flushed = std::fflush(stdout) == 0;
  if (flushed && !std::ferror(stdout)) return status;
  const int failure = errno;
  if (flushed || failure == 0) {
    std::fprintf(stderr, "%s: cannot write the output\n", command);
  } else {
    std::fprintf(stderr, "%s: cannot write the output: %s\n", command, std::strerror(failure));
  }
  return status == 0 ? 1 : status;
}

int RunGuarded(const char* command, const Command& cmd, int argc, char** argv) {
  try {
    return cmd.run(std::vector<std::string>(argv, argv + argc));
  } catch (const std::bad_alloc&) {
    // No text built here: the message must get out without memory of its own.
    std::fprintf(stderr, "%s: out of memory\n", command);
  } catch (const std::exception& e) {
    try {
      std::fprintf(stderr, "%s: %s\n", command, EscapeField(e.what()).c_str());
    } catch (const std::exception&) {
      std::fprintf(stderr, "%s: failed\n", command);
    }
  } catch (...) {
    std::fprintf(stderr, "%s: failed\n", command);
  }
  return 1;
}

}  // namespace

CommandRegistration::CommandRegistration(const char* name, const char* usage, CommandFunction run) {
  Registry()[name] = Command{usage, run};
}

}  // namespace orvela::tool

int main(int argc, char** argv) {
  using namespace orvela::tool;
  if (argc < 2) return Usage();
  const auto it = Registry().find(argv[1]);
  if (it == Registry().end()) return Usage();
  const int status = RunGuarded(argv[1], it->second, argc - 2, argv + 2);
  return FinishOutput(argv[1], status);
}
