// What playing costs: CPU time of the whole process per second of MP3 playback
// with the spectrum drawn ten times a second, as the main window does. The
// jukebox stands beside other programs on small PCs; the aim is under 2 % of
// one core.
//
// PlaybackManual renders one second of audio per iteration as fast as the
// mixer allows (decoding, mixing, FFT, spectrum; no device). PlaybackSdl plays
// in real time through SDL (the "dummy" driver unless SDL_AUDIODRIVER says
// otherwise): its cpu_percent counter is the share of one core.
#include <benchmark/benchmark.h>

#include <time.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include <QImage>

#include "app/spectrum_painter.h"
#include "support/manual_output.h"
#include "demo/tone_encoder.h"
#include "metadata/audio_file.h"
#include "playback/audio/audio_layer.h"
#include "playback/tilu_player.h"
#include "child_figures.h"

namespace {

using namespace orvela;

// A 30-second stereo MP3 of a changing melody at 192 kbit/s, made once.
const std::string& BenchMp3() {
  static const std::string path = [] {
    std::vector<demo::Note> notes;
    for (int i = 0; i < 120; ++i) notes.push_back({demo::MidiNoteFrequency(48 + (i * 5) % 36), 0.25, 0.6});
    const demo::Pcm pcm = demo::SynthesizeMelody(notes, demo::Waveform::Sawtooth);
    const std::string file = (std::filesystem::temp_directory_path() / "orvela-bench-player.mp3").string();
    demo::EncodeOptions opt;
    opt.bitRate = 192000;
    if (!demo::EncodeAudio(file, demo::Format::Mp3, pcm, opt)) return std::string();
    return file;
  }();
  return path;
}

void NoPost(std::function<void()>) {}

using orvela::bench::ProcessCpuSeconds;

void PlaybackManual(benchmark::State& state) {
  if (BenchMp3().empty()) {
    state.SkipWithError("cannot encode the MP3");
    return;
  }
  auto output = std::make_unique<audio::ManualOutput>();
  audio::ManualOutput* manual = output.get();
  audio::AudioLayer layer(std::move(output));
  TTiluPlayer player(layer, NoPost);
  layer.Init(-1, 44100);
  player.SetVolume(1.0f);
  player.CreateSpectrum(628, 113);
  TSpectrumPainter painter(*player.Spectrum());
  QImage surface(628, 113, QImage::Format_RGB32);
  TTiluPlayer::SpectrumMagnitudes magnitudes{};
  const auto drawSpectrum = [&] {
    if (player.SpectrumData(magnitudes)) {
      painter.Draw(*player.Spectrum(), surface, std::span<const float>(magnitudes.data(), 512), 0, 0);
    }
  };
  TAudioFile file;
  file.FilePath = BenchMp3();
  player.Play(&file);

  const double cpuStart = ProcessCpuSeconds();
  for (auto _ : state) {
    if (player.GetLengthSeconds() - player.GetPositionSeconds() < 1.5) player.SetProgress(0.0);
    for (int tick = 0; tick < 10; ++tick) {
      for (int block = 0; block < 10; ++block) benchmark::DoNotOptimize(manual->Render(441));
      drawSpectrum();
    }
  }
  // CPU seconds per second of audio, as a share of one core.
  state.counters["cpu_percent"] =
      100.0 * (ProcessCpuSeconds() - cpuStart) / static_cast<double>(state.iterations());
}
BENCHMARK(PlaybackManual)->MeasureProcessCPUTime()->Unit(benchmark::kMillisecond)->MinTime(5.0);

void PlaybackSdl(benchmark::State& state) {
  if (BenchMp3().empty()) {
    state.SkipWithError("cannot encode the MP3");
    return;
  }
  setenv("SDL_AUDIODRIVER", "dummy", 0);
  audio::AudioLayer layer(audio::MakeSdlOutput());
  TTiluPlayer player(layer, NoPost);
  layer.Init(-1, 44100);
  player.SetVolume(1.0f);
  player.CreateSpectrum(628, 113);
  TSpectrumPainter painter(*player.Spectrum());
  QImage surface(628, 113, QImage::Format_RGB32);
  TTiluPlayer::SpectrumMagnitudes magnitudes{};
  const auto drawSpectrum = [&] {
    if (player.SpectrumData(magnitudes)) {
      painter.Draw(*player.Spectrum(), surface, std::span<const float>(magnitudes.data(), 512), 0, 0);
    }
  };
  TAudioFile file;
  file.FilePath = BenchMp3();
  player.Play(&file);

  const double cpuStart = ProcessCpuSeconds();
  const auto wallStart = std::chrono::steady_clock::now();
  for (auto _ : state) {
    if (player.GetLengthSeconds() - player.GetPositionSeconds() < 1.5) player.SetProgress(0.0);
    auto tick = std::chrono::steady_clock::now();
    for (int i = 0; i < 10; ++i) {
      tick += std::chrono::milliseconds(100);
      std::this_thread::sleep_until(tick);
      drawSpectrum();
    }
  }
  const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - wallStart).count();
  state.counters["cpu_percent"] = 100.0 * (ProcessCpuSeconds() - cpuStart) / wall;
}
BENCHMARK(PlaybackSdl)
    ->MeasureProcessCPUTime()
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(10);

}  // namespace

BENCHMARK_MAIN();
