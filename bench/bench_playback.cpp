// Playback costs of the audio layer: CPU per second of MP3 playback, time from
// opening a large MP3 (with the pre-scan) to its first sample at the output, and
// how close a seek in a VBR MP3 lands to the requested time.
#include <benchmark/benchmark.h>

#include <time.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <filesystem>
#include <map>
#include <stdexcept>
#include <thread>
#include <cstdlib>
#include <string>

#include "support/manual_output.h"
#include "demo/tone_encoder.h"
#include "playback/audio/audio_layer.h"
#include "child_figures.h"

namespace {

using namespace orvela;
using audio::AudioLayer;
using audio::Handle;
using audio::ManualOutput;

using orvela::bench::ProcessCpuSeconds;

std::string BenchDir() {
  const auto dir = std::filesystem::temp_directory_path() / "orvela-bench-playback";
  std::filesystem::create_directories(dir);
  return dir.string();
}

demo::Pcm Music(double seconds) {
  std::vector<demo::Note> notes;
  for (int i = 0; i < static_cast<int>(seconds * 4); ++i)
    notes.push_back({demo::MidiNoteFrequency(48 + (i * 7) % 36), 0.25, 0.4});
  return demo::SynthesizeMelody(notes, demo::Waveform::Sawtooth);
}

// Encoded once per run; the files stay in the temp folder for the next run.
const std::string& File(const std::string& name, double seconds, const demo::EncodeOptions& opt) {
  static std::map<std::string, std::string> files;
  auto it = files.find(name);
  if (it != files.end()) return it->second;
  const std::string path = BenchDir() + "/" + name;
  if (!std::filesystem::exists(path)) {
    std::string error;
    if (!demo::EncodeAudio(path, demo::Format::Mp3, Music(seconds), opt, &error))
      throw std::runtime_error("encoding " + name + ": " + error);
  }
  return files.emplace(name, path).first->second;
}

struct Layer {
  ManualOutput* out;
  AudioLayer layer;
  Layer() : Layer(std::make_unique<ManualOutput>()) {}
  explicit Layer(std::unique_ptr<ManualOutput> o) : out(o.get()), layer(std::move(o)) {
    layer.Init(-1, 44100);
  }
};

// CPU of the whole process (decoder thread and mixer) per second of audio, in
// percent of one core. The manual output renders faster than real time, so
// this is the work, not the waiting.
void BM_Mp3PlaybackCpu(benchmark::State& state) {
  const std::string& path = File("cpu_128k.mp3", 120.0, {});
  Layer l;
  double cpu = 0.0, audioSeconds = 0.0;
  for (auto _ : state) {
    const Handle h = l.layer.StreamCreateFile(path, audio::kFlagPrescan);
    l.layer.ChannelPlay(h, true);
    const double c0 = ProcessCpuSeconds();
    int frames = 0;
    while (l.layer.ChannelIsActive(h) != audio::kStopped) {
      benchmark::DoNotOptimize(l.out->Render(1024).data());
      frames += 1024;
    }
    cpu += ProcessCpuSeconds() - c0;
    audioSeconds += frames / 44100.0;
    l.layer.StreamFree(h);
  }
  state.counters["cpu_percent_of_core"] = 100.0 * cpu / audioSeconds;
}
BENCHMARK(BM_Mp3PlaybackCpu)->Unit(benchmark::kMillisecond)->Iterations(3);

// The same in real time through SDL (its dummy driver unless SDL_AUDIODRIVER
// says otherwise): adds the device callback and the decoder's wake-ups.
void BM_Mp3RealtimeCpu(benchmark::State& state) {
  const std::string& path = File("cpu_128k.mp3", 120.0, {});
  if (!std::getenv("SDL_AUDIODRIVER")) setenv("SDL_AUDIODRIVER", "dummy", 1);
  AudioLayer layer(audio::MakeSdlOutput());
  layer.Init(-1, 44100);
  double cpu = 0.0, wall = 0.0;
  for (auto _ : state) {
    const Handle h = layer.StreamCreateFile(path, audio::kFlagPrescan);
    layer.ChannelPlay(h, true);
    const double c0 = ProcessCpuSeconds();
    const auto t0 = std::chrono::steady_clock::now();
    std::this_thread::sleep_for(std::chrono::seconds(5));
    cpu += ProcessCpuSeconds() - c0;
    wall += std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    layer.StreamFree(h);
  }
  state.counters["cpu_percent_of_core"] = 100.0 * cpu / wall;
}
BENCHMARK(BM_Mp3RealtimeCpu)->Unit(benchmark::kMillisecond)->Iterations(2);

// StreamCreateFile (with the pre-scan) + ChannelPlay until the output receives
// the first non-silent sample, for a 10 MB MP3 (about 11 minutes at 128 kbit/s).
void BM_TimeToFirstSample10MB(benchmark::State& state) {
  const std::string& path = File("long_128k.mp3", 655.0, {});
  Layer l;
  double worst = 0.0;
  for (auto _ : state) {
    const auto t0 = std::chrono::steady_clock::now();
    const Handle h = l.layer.StreamCreateFile(path, audio::kFlagPrescan);
    l.layer.ChannelPlay(h, true);
    bool heard = false;
    while (!heard) {
      const auto block = l.out->Render(64);
      heard = std::any_of(block.begin(), block.end(), [](float s) { return s != 0.0f; });
    }
    const double s = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    state.SetIterationTime(s);
    worst = std::max(worst, s);
    l.layer.StreamFree(h);
  }
  state.counters["file_MB"] = static_cast<double>(std::filesystem::file_size(path)) / 1e6;
  state.counters["worst_ms"] = worst * 1000.0;
}
BENCHMARK(BM_TimeToFirstSample10MB)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(20);

// The open alone, with and without the pre-scan, to see what the scan costs.
void OpenOnly(benchmark::State& state, std::uint32_t flags) {
  const std::string& path = File("long_128k.mp3", 655.0, {});
  Layer l;
  for (auto _ : state) {
    const Handle h = l.layer.StreamCreateFile(path, flags);
    benchmark::DoNotOptimize(h);
    l.layer.StreamFree(h);
  }
}
void BM_Open10MBPrescan(benchmark::State& state) { OpenOnly(state, audio::kFlagPrescan); }
void BM_Open10MBNoPrescan(benchmark::State& state) { OpenOnly(state, 0); }
BENCHMARK(BM_Open10MBPrescan)->Unit(benchmark::kMillisecond)->Iterations(20);
BENCHMARK(BM_Open10MBNoPrescan)->Unit(benchmark::kMillisecond)->Iterations(20);

// White noise: unlike music it matches itself at one lag only.
demo::Pcm Noise(double seconds) {
  demo::Pcm pcm;
  pcm.samples.resize(2 * static_cast<std::size_t>(seconds * 44100));
  std::uint32_t x = 12345;
  for (std::size_t i = 0; i < pcm.samples.size(); i += 2) {
    x = x * 1664525u + 1013904223u;
    pcm.samples[i] = pcm.samples[i + 1] = static_cast<std::int16_t>(static_cast<std::int32_t>(x >> 16) / 4 - 8192);
  }
  return pcm;
}

// Seeks to odd times in a VBR MP3 and finds, by cross-correlation with the
// encoder's input, which time the output really starts at.
void SeekAccuracy(benchmark::State& state, std::uint32_t flags) {
  const demo::Pcm truth = Noise(60.0);
  static const std::string path = [&] {
    const std::string p = BenchDir() + "/noise_vbr_v4.mp3";
    std::string error;
    if (!std::filesystem::exists(p) &&
        !demo::EncodeAudio(p, demo::Format::Mp3, truth, {.vbr = true, .vbrQuality = 4}, &error))
      throw std::runtime_error("encoding noise: " + error);
    return p;
  }();
  Layer l;
  const Handle h = l.layer.StreamCreateFile(path, flags);
  constexpr int kWindow = 4096, kSearch = 44100 / 10;  // +-100 ms
  double worstMs = 0.0;
  int n = 0;
  for (auto _ : state) {
    const double seconds = 1.0 + std::fmod(7.37 * ++n, 55.0);
    const std::int64_t target = static_cast<std::int64_t>(seconds * 44100);
    l.layer.ChannelSetPosition(h, target * 4);
    l.layer.ChannelPlay(h, false);
    const auto got = l.out->Render(kWindow);
    double best = -1e300;
    int bestLag = 0;
    for (int lag = -kSearch; lag <= kSearch; ++lag) {
      const std::int64_t start = target + lag;
      if (start < 0 || start + kWindow > static_cast<std::int64_t>(truth.FrameCount())) continue;
      double dot = 0.0;
      for (int i = 0; i < kWindow; i += 2) dot += got[2 * i] * truth.samples[2 * (start + i)];
      if (dot > best) {
        best = dot;
        bestLag = lag;
      }
    }
    worstMs = std::max(worstMs, std::abs(bestLag) * 1000.0 / 44100.0);
  }
  state.counters["worst_error_ms"] = worstMs;
}
void BM_SeekAccuracyVbrPrescan(benchmark::State& state) { SeekAccuracy(state, audio::kFlagPrescan); }
void BM_SeekAccuracyVbrNoPrescan(benchmark::State& state) { SeekAccuracy(state, 0); }
BENCHMARK(BM_SeekAccuracyVbrPrescan)->Unit(benchmark::kMillisecond)->Iterations(20);
BENCHMARK(BM_SeekAccuracyVbrNoPrescan)->Unit(benchmark::kMillisecond)->Iterations(20);

}  // namespace

BENCHMARK_MAIN();
