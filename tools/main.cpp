#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "command.h"

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
  return it->second.run(std::vector<std::string>(argv + 2, argv + argc));
}
