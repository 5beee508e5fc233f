#pragma once
// Commands of orvela-jukebox-tool. Each cmd_*.cpp registers one command with a
// static CommandRegistration; main() dispatches on the first argument.
#include <string>
#include <vector>

namespace orvela::tool {

// args: the command's own arguments (without the program and command names).
// Returns the process exit status.
using CommandFunction = int (*)(const std::vector<std::string>& args);

struct CommandRegistration {
  CommandRegistration(const char* name, const char* usage, CommandFunction run);
};

}  // namespace orvela::tool
