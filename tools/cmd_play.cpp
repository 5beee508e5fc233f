// play FILE [--seconds N]: plays one file through the program's own player and
// audio layer (SDL output, so SDL_AUDIODRIVER=dummy or disk work as usual),
// printing the length and then the position once a second.
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "audio_commands.h"
#include "command.h"
#include "common/codepage.h"
#include "common/dialogs.h"
#include "common/platform.h"
#include "field_escape.h"
#include "metadata/audio_file.h"
#include "playback/audio/audio_layer.h"
#include "playback/tilu_player.h"

namespace orvela::tool {
namespace {

// Boxes become lines on stderr; the tool never asks questions.
class ConsoleDialogs : public Dialogs {
 public:
  void ShowMessage(const std::string& text) override { Print(text); }
  void Information(const std::string&, const std::string& text) override { Print(text); }
  void Error(const std::string& text) override { Print(text); }
  bool Question(const std::string&, const std::string& text) override {
    Print(text);
    return false;
  }
  std::vector<std::string> OpenFiles(const std::string&, const std::string&, const std::string&,
                                     bool) override {
    return {};
  }
  std::string SaveFile(const std::string&, const std::string&, const std::string&,
                       const std::string&) override {
    return {};
  }

 private:
  static void Print(const std::string& text) {
    std::fprintf(stderr, "%s\n", Cp1252ToUtf8(text).c_str());
  }
};

// The tool's stand-in for the UI thread: posted calls wait here until main runs them.
class CallQueue {
 public:
  void Post(std::function<void()> call) {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      calls_.push_back(std::move(call));
    }
    wake_.notify_one();
  }
  // Waits until `deadline` or a posted call, then runs every call waiting.
  void RunUntil(std::chrono::steady_clock::time_point deadline) {
    std::deque<std::function<void()>> ready;
    {
      std::unique_lock<std::mutex> lock(mutex_);
      wake_.wait_until(lock, deadline, [this] { return !calls_.empty(); });
      ready.swap(calls_);
    }
    for (auto& call : ready) call();
  }

 private:
  std::mutex mutex_;
  std::condition_variable wake_;
  std::deque<std::function<void()>> calls_;
};

int Run(const std::vector<std::string>& args) {
  std::string file;
  double limitSeconds = -1.0;
  for (std::size_t i = 0; i < args.size(); ++i) {
    if (args[i] == "--seconds" && i + 1 < args.size()) {
      char* end = nullptr;
      limitSeconds = std::strtod(args[++i].c_str(), &end);
      if (end == args[i].c_str() || *end != '\0' || limitSeconds < 0) {
        std::fprintf(stderr, "play: --seconds needs a number of seconds\n");
        return 2;
      }
    } else if (file.empty()) {
      file = args[i];
    } else {
      std::fprintf(stderr, "usage: orvela-jukebox-tool play FILE [--seconds N]\n");
      return 2;
    }
  }
  if (file.empty()) {
    std::fprintf(stderr, "usage: orvela-jukebox-tool play FILE [--seconds N]\n");
    return 2;
  }

  CallQueue queue;
  audio::AudioLayer layer(audio::MakeSdlOutput());
  TTiluPlayer player(layer, [&queue](std::function<void()> call) { queue.Post(std::move(call)); });
  ConsoleDialogs dialogs;
  player.InitAudio(dialogs);
  player.LoadPlugins(ProgramDirectory());
  player.SetVolume(1.0f);
  bool ended = false;
  player.OnTiluEndFile = [&ended](TTiluPlayer*) { ended = true; };

  TAudioFile record;
  record.LoadFromFile(NativePathToCp1252(file));
  player.Play(&record);
  if (player.Channel == 0) {
    std::fprintf(stderr, "play: cannot open %s\n", EscapeField(file).c_str());
    return 1;
  }
  // Tag text may hold control bytes that must not reach the terminal.
  std::printf("%s - %s\n", EscapeField(Cp1252ToUtf8(player.GetArtist())).c_str(),
              EscapeField(Cp1252ToUtf8(player.GetTitle())).c_str());
  std::printf("length %.2f s\n", player.GetLengthSeconds());
  std::fflush(stdout);

  const auto start = std::chrono::steady_clock::now();
  auto nextReport = start + std::chrono::seconds(1);
  const auto limit = limitSeconds >= 0
                         ? start + std::chrono::duration_cast<std::chrono::steady_clock::duration>(
                                       std::chrono::duration<double>(limitSeconds))
                         : std::chrono::steady_clock::time_point::max();
  while (!ended) {
    const auto now = std::chrono::steady_clock::now();
    if (now >= limit) break;
    if (now >= nextReport) {
      std::printf("position %.2f s\n", player.GetPositionSeconds());
      std::fflush(stdout);
      nextReport += std::chrono::seconds(1);
    }
    queue.RunUntil(std::min(nextReport, limit));
  }
  std::printf("%s at %.2f s\n", ended ? "end of file" : "stopped", player.GetPositionSeconds());
  player.Stop();
  return 0;
}

const CommandRegistration kRegistration("play", kPlayUsage, Run);

}  // namespace
}  // namespace orvela::tool
