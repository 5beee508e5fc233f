// orvela-jukebox-tool demo FOLDER: a fresh program folder gets a few titles to
// play, so the jukebox can be tried before anyone has scanned real music.
#include <cstdio>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

#include "audio_commands.h"
#include "command.h"
#include "demo/demo_collection.h"
#include "field_escape.h"
#include "program_folder_guard.h"

namespace orvela::tool {
namespace {

int RunDemo(const std::vector<std::string>& args) {
  if (args.size() != 1) {
    std::fprintf(stderr, "usage: orvela-jukebox-tool demo FOLDER\n");
    return 2;
  }
  // A fresh program folder is made here, so that its lock can be taken before
  // anything else is written into it.
  std::error_code folderError;
  std::filesystem::create_directories(args[0], folderError);
  if (folderError) {
    std::fprintf(stderr, "demo: cannot create the folder %s: %s; nothing was written\n", EscapeField(args[0]).c_str(),
                 folderError.message().c_str());
    return 1;
  }
  const auto lock = LockProgramFolder("demo", args[0], "nothing was written");
  if (!lock) return 1;
  demo::DemoResult result;
  std::string error;
  if (!demo::WriteDemoCollection(args[0], &result, &error)) {
    std::fprintf(stderr, "demo: %s\n", EscapeField(error).c_str());
    return 1;
  }
  std::printf("%d demo titles written, %d added to %s\n", result.written, result.appended,
              EscapeField(result.collectionFile).c_str());
  return 0;
}

const CommandRegistration kDemo("demo", kDemoUsage, RunDemo);

}  // namespace
}  // namespace orvela::tool
