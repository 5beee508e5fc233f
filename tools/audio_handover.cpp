// play, playlist, demo, loudness and covers as the light tool sees them: the same command line,
// carried over to orvela-jukebox-tool-audio beside this executable with execv,
// so the process keeps its id, its standard streams and its environment
// (SDL_AUDIODRIVER among them) and the caller sees the audio tool's own exit
// status.
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "audio_commands.h"
#include "command.h"
#include "field_escape.h"

namespace orvela::tool {
namespace {

int HandOver(const char* command, const std::vector<std::string>& args) {
  // /proc/self/exe names the file itself even when the tool was started
  // through a link in PATH, so the audio tool is found beside the real one.
  std::error_code error;
  const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", error);
  if (error) {
    std::fprintf(stderr, "%s: cannot find the tool's own folder: %s\n", command,
                 error.message().c_str());
    return 1;
  }
  const std::string audioTool = (self.parent_path() / kAudioToolName).string();

  std::vector<std::string> words{audioTool, command};
  words.insert(words.end(), args.begin(), args.end());
  std::vector<char*> argv;
  argv.reserve(words.size() + 1);
  for (std::string& word : words) argv.push_back(word.data());
  argv.push_back(nullptr);

  std::fflush(nullptr);  // nothing printed yet, but buffers do not survive execv
  ::execv(audioTool.c_str(), argv.data());
  const int failure = errno;
  std::fprintf(stderr, "%s: cannot start %s: %s\n", command, EscapeField(audioTool).c_str(),
               std::strerror(failure));
  return 1;
}

int RunDemo(const std::vector<std::string>& args) { return HandOver("demo", args); }
int RunPlay(const std::vector<std::string>& args) { return HandOver("play", args); }
int RunPlaylist(const std::vector<std::string>& args) { return HandOver("playlist", args); }
int RunLoudness(const std::vector<std::string>& args) { return HandOver("loudness", args); }
int RunCovers(const std::vector<std::string>& args) { return HandOver("covers", args); }

const CommandRegistration kDemo("demo", kDemoUsage, RunDemo);
const CommandRegistration kPlay("play", kPlayUsage, RunPlay);
const CommandRegistration kPlaylist("playlist", kPlaylistUsage, RunPlaylist);
const CommandRegistration kLoudness("loudness", kLoudnessUsage, RunLoudness);
const CommandRegistration kCovers("covers", kCoversUsage, RunCovers);

}  // namespace
}  // namespace orvela::tool
