#pragma once
// Commands of orvela-jukebox-tool. Each cmd_*.cpp registers one command with a
// static CommandRegistration; main() dispatches on the first argument.
//
// Commands write their output through stdio's stdout only: main() judges by the
// stream's state whether everything written arrived, and turns a failed write,
// a failed allocation or any other exception into an exit status of 1.
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
