#pragma once
// What the player tests share: real audio files made once per test run, a post
// queue standing in for the user-interface thread, and a player on a manual
// output that the tests advance frame by frame.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <deque>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "support/manual_output.h"
#include "support/scripted_dialogs.h"
#include "demo/audio_check.h"
#include "demo/tone_encoder.h"
#include "metadata/audio_file.h"
#include "playback/audio/audio_layer.h"
#include "playback/tilu_player.h"

namespace orvela::testing {

// Calls posted from audio threads wait here until the test runs them, as the
// program's event loop would.
class PostQueue {
 public:
  TTiluPlayer::PostFunction Function() {
    return [this](std::function<void()> call) {
      std::lock_guard<std::mutex> lock(mutex_);
      calls_.push_back(std::move(call));
    };
  }
  std::size_t Pending() {
    std::lock_guard<std::mutex> lock(mutex_);
    return calls_.size();
  }
  // The layer reports the end of a stream from its own notifier thread, a moment
  // after the frames were rendered: wait (in real time, briefly) for `count`
  // posted calls. False if they did not come within two seconds.
  bool WaitFor(std::size_t count) {
    for (int i = 0; i < 2000; ++i) {
      if (Pending() >= count) return true;
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return Pending() >= count;
  }
  // Long enough for a report that must not come to show up if it did.
  static void Settle() { std::this_thread::sleep_for(std::chrono::milliseconds(50)); }

  // Runs every waiting call; returns how many ran.
  std::size_t Drain() {
    std::deque<std::function<void()>> ready;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      ready.swap(calls_);
    }
    for (auto& call : ready) call();
    return ready.size();
  }

 private:
  std::mutex mutex_;
  std::deque<std::function<void()>> calls_;
};

// The fixture files, written once into a private folder removed at exit.
class AudioFiles {
 public:
  static const AudioFiles& Get() {
    static const AudioFiles files;
    return files;
  }
  // Code-page path of a fixture (the names are ASCII).
  std::string Path(const std::string& name) const { return (dir_ / name).string(); }
  const std::string& Error() const { return error_; }

  AudioFiles(const AudioFiles&) = delete;
  AudioFiles& operator=(const AudioFiles&) = delete;
  ~AudioFiles() {
    std::error_code ec;
    std::filesystem::remove_all(dir_, ec);
  }

 private:
  AudioFiles() {
    std::string tmpl = (std::filesystem::temp_directory_path() / "orvela-player-XXXXXX").string();
    if (mkdtemp(tmpl.data()) == nullptr) {
      error_ = "cannot create a temporary folder";
      return;
    }
    dir_ = tmpl;
    using demo::Format;
    Encode("tone1.wav", Format::Wav, demo::SynthesizeTone(440.0, 1.0));
    Encode("tone5.wav", Format::Wav, demo::SynthesizeTone(440.0, 5.0));
    Encode("song8.wav", Format::Wav, demo::SynthesizeTone(660.0, 8.0));
    Encode("jingle.wav", Format::Wav, demo::SynthesizeTone(2000.0, 3.0));
    Encode("tone2.mp3", Format::Mp3, demo::SynthesizeTone(440.0, 2.0));
    // 440 Hz, then 880 Hz: which half a block came from is audible.
    demo::Pcm halves = demo::SynthesizeTone(440.0, 1.0);
    demo::AppendPcm(halves, demo::SynthesizeTone(880.0, 1.0));
    Encode("halves.wav", Format::Wav, halves);
    // Silence, then a dense melody: the bit rate changes a lot, and without a
    // Xing frame only a full scan knows the real length.
    demo::Pcm vbr = demo::SynthesizeSilence(3.0);
    std::vector<demo::Note> notes;
    for (int i = 0; i < 24; ++i) notes.push_back({demo::MidiNoteFrequency(60 + (i * 7) % 30), 0.125, 0.7});
    demo::AppendPcm(vbr, demo::SynthesizeMelody(notes, demo::Waveform::Sawtooth));
    demo::EncodeOptions opt;
    opt.vbr = true;
    opt.vbrQuality = 2;
    opt.writeXing = false;
    Encode("VBR.MP3", Format::Mp3, vbr, opt);
    WriteBytes("song.mod", demo::BuildTrackerModule("orvela test", 2.0));
    // Module players go by the content; the name only has to say "module".
    WriteBytes("SONG.XM", demo::BuildTrackerModule("orvela test", 2.0));
  }

  void Encode(const std::string& name, demo::Format fmt, const demo::Pcm& pcm,
              const demo::EncodeOptions& opt = {}) {
    std::string why;
    if (!demo::EncodeAudio(Path(name), fmt, pcm, opt, &why)) error_ += name + ": " + why + "; ";
  }
  void WriteBytes(const std::string& name, const std::string& bytes) {
    std::FILE* f = std::fopen(Path(name).c_str(), "wb");
    if (f == nullptr || std::fwrite(bytes.data(), 1, bytes.size(), f) != bytes.size()) {
      error_ += name + ": cannot write; ";
    }
    if (f != nullptr) std::fclose(f);
  }

  std::filesystem::path dir_;
  std::string error_;
};

// A player on a manual output with every event recorded by name.
class PlayerRig {
 public:
  PlayerRig() : output_(new audio::ManualOutput), layer_(std::unique_ptr<audio::AudioOutput>(output_)) {
    player = std::make_unique<TTiluPlayer>(layer_, queue.Function());
    player->InitAudio(dialogs);
    player->SetVolume(1.0f);
    Record(player->OnTiluPlay, "play");
    Record(player->OnTiluPause, "pause");
    Record(player->OnTiluResume, "resume");
    Record(player->OnTiluStop, "stop");
    Record(player->OnTiluChange, "change");
    Record(player->OnTiluEndFile, "end");
  }

  static TAudioFile File(const std::string& fixture) {
    TAudioFile file;
    file.FilePath = AudioFiles::Get().Path(fixture);
    file.Title = fixture;
    return file;
  }

  int Rate() const { return output_->rate(); }

  // Renders `seconds` of the mix in small blocks, as the device would pull it,
  // and keeps what was heard.
  std::vector<float> Render(double seconds) {
    std::vector<float> heard;
    int frames = static_cast<int>(std::lround(seconds * Rate()));
    while (frames > 0) {
      const int block = std::min(frames, 512);
      const std::vector<float> part = output_->Render(block);
      heard.insert(heard.end(), part.begin(), part.end());
      frames -= block;
    }
    return heard;
  }

  // The mix as 16-bit PCM for the demo library's level and pitch checks.
  demo::Pcm AsPcm(const std::vector<float>& mix) const {
    demo::Pcm pcm;
    pcm.sampleRate = output_->rate();
    pcm.channels = 2;
    pcm.samples.reserve(mix.size());
    for (float v : mix) {
      pcm.samples.push_back(static_cast<std::int16_t>(std::lround(std::clamp(v, -1.0f, 1.0f) * 32767.0f)));
    }
    return pcm;
  }

  int Count(const std::string& name) const {
    return static_cast<int>(std::count(events.begin(), events.end(), name));
  }

  audio::AudioLayer& Layer() { return layer_; }

  // Declared before the layer: audio threads may post until the layer is gone.
  PostQueue queue;
  ScriptedDialogs dialogs;
  std::vector<std::string> events;

 private:
  void Record(TTiluPlayer::Event& event, const std::string& name) {
    event = [this, name](TTiluPlayer* sender) {
      EXPECT_EQ(sender, player.get());
      events.push_back(name);
    };
  }

  audio::ManualOutput* output_;  // owned by the layer

  audio::AudioLayer layer_;

 public:
  std::unique_ptr<TTiluPlayer> player;  // destroyed before the layer
};

// Fixture base that stops a test at once when the audio files could not be made.
class PlayerTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_EQ(AudioFiles::Get().Error(), ""); }
  PlayerRig rig;
  TTiluPlayer& player() { return *rig.player; }
};

}  // namespace orvela::testing
