// play FILE [--seconds N]: plays an audio file, or an M3U playlist title after
// title, through the program's own queue, player and audio layer (SDL output,
// so SDL_AUDIODRIVER=dummy or disk work as usual). Each title prints its artist
// and title as it starts, its length, then the position once a second.
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
#include "playback/audio/audio_layer.h"
#include "playlist_file.h"
#include "queue/tilu_playlist.h"

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

constexpr char kUsage[] = "usage: orvela-jukebox-tool play FILE [--seconds N]\n";

// The queue played as the main screen plays it: the first entry is the title
// being played, and at its end it leaves the queue and the next one starts. A
// title that cannot be opened is passed over as the "Vor" button would.
class QueueRun {
 public:
  explicit QueueRun(TTiluPlaylist& queue) : queue_(queue) {}

  // Starts the entry at the head of the queue, or the first one after it that
  // opens; false once the queue is empty.
  bool StartHead() {
    while (!queue_.Items.empty()) {
      queue_.Next(true);
      if (queue_.Channel != 0) {
        // Tag text may hold control bytes that must not reach the terminal.
        std::printf("%s - %s\n", EscapeField(Cp1252ToUtf8(queue_.GetArtist())).c_str(),
                    EscapeField(Cp1252ToUtf8(queue_.GetTitle())).c_str());
        std::printf("length %.2f s\n", queue_.GetLengthSeconds());
        std::fflush(stdout);
        return true;
      }
      const std::string path = queue_.CurrentItem != nullptr ? queue_.CurrentItem->FilePath : std::string();
      std::fprintf(stderr, "play: cannot open %s\n", EscapeField(Cp1252ToNativePath(path)).c_str());
      ++passedOver_;
      if (!LeaveHead()) return false;
    }
    return false;
  }

  // The main screen's step at the end of a title; true when a title is playing after it.
  bool StartNext() { return LeaveHead() && StartHead(); }

  int PassedOver() const { return passedOver_; }

 private:
  // The title at the head leaves the queue; the last one empties it (and stops).
  bool LeaveHead() {
    if (queue_.Items.size() > 1) {
      queue_.RemoveItem(true);
      return true;
    }
    queue_.Clear();
    return false;
  }

  TTiluPlaylist& queue_;
  int passedOver_ = 0;
};

int Run(const std::vector<std::string>& args) {
  std::string file;
  double limitSeconds = -1.0;
  for (std::size_t i = 0; i < args.size(); ++i) {
    if (args[i] == "--seconds" && i + 1 < args.size()) {
      char* end = nullptr;
      limitSeconds = std::strtod(args[++i].c_str(), &end);
      if (end == args[i].c_str() || *end != '\0' || !(limitSeconds >= 0)) {
        std::fprintf(stderr, "play: --seconds needs a number of seconds\n");
        return 2;
      }
    } else if (file.empty()) {
      file = args[i];
    } else {
      std::fprintf(stderr, "%s", kUsage);
      return 2;
    }
  }
  if (file.empty()) {
    std::fprintf(stderr, "%s", kUsage);
    return 2;
  }

  CallQueue calls;
  audio::AudioLayer layer(audio::MakeSdlOutput());
  TTiluPlaylist queue(layer, [&calls](std::function<void()> call) { calls.Post(std::move(call)); });
  ConsoleDialogs dialogs;
  queue.InitAudio(dialogs);
  queue.LoadPlugins(ProgramDirectory());
  queue.SetVolume(1.0f);
  bool ended = false;
  queue.OnTiluEndFile = [&ended](TTiluPlayer*) { ended = true; };

  // An incomplete playlist still plays what it lists, as the jukebox would;
  // the run fails all the same.
  bool failed = false;
  if (IsM3UName(file)) {
    failed = !LoadPlaylistFile("play", queue, file);
    if (queue.Items.empty()) {
      if (!failed) std::fprintf(stderr, "play: %s lists no titles\n", EscapeField(file).c_str());
      return 1;
    }
  } else if (IsPlainFileOrMissing(file)) {
    queue.Add(NativePathToCp1252(file));
  } else {
    std::fprintf(stderr, "play: %s is not a file\n", EscapeField(file).c_str());
    return 1;
  }

  QueueRun run(queue);
  const auto start = std::chrono::steady_clock::now();
  // Beyond some thirty years a limit is none, and the clock's nanoseconds
  // would overflow ("--seconds inf" must not stop at once).
  const auto limit = limitSeconds >= 0 && limitSeconds < 1e9
                         ? start + std::chrono::duration_cast<std::chrono::steady_clock::duration>(
                                       std::chrono::duration<double>(limitSeconds))
                         : std::chrono::steady_clock::time_point::max();
  bool playing = run.StartHead();
  while (playing) {
    ended = false;
    auto nextReport = std::chrono::steady_clock::now() + std::chrono::seconds(1);
    bool stopped = false;
    while (!ended) {
      const auto now = std::chrono::steady_clock::now();
      if (now >= limit) {
        stopped = true;
        break;
      }
      if (now >= nextReport) {
        std::printf("position %.2f s\n", queue.GetPositionSeconds());
        std::fflush(stdout);
        nextReport += std::chrono::seconds(1);
      }
      calls.RunUntil(std::min(nextReport, limit));
    }
    std::printf("%s at %.2f s\n", stopped ? "stopped" : "end of file", queue.GetPositionSeconds());
    if (stopped) {
      queue.Stop();
      break;
    }
    playing = run.StartNext();
  }
  return failed || run.PassedOver() > 0 ? 1 : 0;
}

const CommandRegistration kRegistration("play", kPlayUsage, Run);

}  // namespace
}  // namespace orvela::tool
