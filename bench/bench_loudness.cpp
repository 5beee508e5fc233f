// Loudness levelling: what measuring a title costs, and how far apart titles
// sound before and after levelling (tones at -30, -20 and -10 dBFS, and the
// demo collection), measured on the rendered output of the real mix with
// libebur128, with the highest sample that reached the output.
#include <benchmark/benchmark.h>
#include <ebur128.h>
#include <time.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <vector>

#include "demo/demo_collection.h"
#include "demo/tone_encoder.h"
#include "playback/audio/audio_layer.h"
#include "playback/audio/loudness_meter.h"
#include "playback/loudness_store.h"
#include "support/manual_output.h"
#include "child_figures.h"

namespace {

using namespace orvela;

constexpr double kTarget = -16.0;

using orvela::bench::ProcessCpuSeconds;

std::string BenchDir() {
  const auto dir = std::filesystem::temp_directory_path() / "orvela-bench-loudness";
  std::filesystem::create_directories(dir);
  return dir.string();
}

std::string Encoded(const std::string& name, const demo::Pcm& pcm) {
  const std::string path = BenchDir() + "/" + name;
  if (!std::filesystem::exists(path)) {
    std::string error;
    if (!demo::EncodeAudio(path, demo::Format::Mp3, pcm, {}, &error)) throw std::runtime_error(error);
  }
  return path;
}

demo::Pcm Music(double seconds) {
  std::vector<demo::Note> notes;
  for (int i = 0; i < static_cast<int>(seconds * 4); ++i)
    notes.push_back({demo::MidiNoteFrequency(48 + (i * 7) % 36), 0.25, 0.4});
  return demo::SynthesizeMelody(notes, demo::Waveform::Sawtooth);
}

// A four-minute MP3 (128 kbit/s CBR) measured from its file: CPU seconds of the
// whole process per title.
void BM_MeasureFourMinuteMp3(benchmark::State& state) {
  const std::string path = Encoded("four-minutes.mp3", Music(240.0));
  double cpu = 0.0;
  for (auto _ : state) {
    const double before = ProcessCpuSeconds();
    const auto facts = audio::MeasureLoudness(path);
    cpu += ProcessCpuSeconds() - before;
    if (!facts) state.SkipWithError("not measured");
    benchmark::DoNotOptimize(facts);
  }
  state.counters["cpu_s_per_title"] = cpu / static_cast<double>(state.iterations());
}
BENCHMARK(BM_MeasureFourMinuteMp3)->Unit(benchmark::kMillisecond)->Iterations(3);

// Renders each title whole through the layer, with its levelling gain or
// without, and measures what came out.
struct Heard {
  double spread = 0.0;  // LU between the loudest and the quietest title
  double peak = 0.0;    // highest absolute output sample
};

Heard Listen(const std::vector<std::string>& titles, bool levelled) {
  Heard heard;
  double low = 1e9, high = -1e9;
  for (const std::string& title : titles) {
    auto output = std::make_unique<audio::ManualOutput>();
    audio::ManualOutput* out = output.get();
    audio::AudioLayer layer(std::move(output));
    layer.Init(-1, 44100);
    const audio::Handle h = layer.StreamCreateFile(title, audio::kFlagPrescan);
    if (levelled) {
      const auto facts = audio::MeasureLoudness(title);
      if (facts) layer.ChannelSetGain(h, LevellingGain(*facts, kTarget));
    }
    layer.ChannelSetVolume(h, 1.0f);
    layer.ChannelPlay(h, true);
    ebur128_state* meter = ebur128_init(2, 44100, EBUR128_MODE_I);
    while (layer.ChannelIsActive(h) != audio::kStopped) {
      const std::vector<float> block = out->Render(44100);
      for (float s : block) heard.peak = std::max(heard.peak, static_cast<double>(std::fabs(s)));
      ebur128_add_frames_float(meter, block.data(), block.size() / 2);
    }
    double lufs = 0.0;
    ebur128_loudness_global(meter, &lufs);
    ebur128_destroy(&meter);
    low = std::min(low, lufs);
    high = std::max(high, lufs);
  }
  heard.spread = high - low;
  return heard;
}

void Report(benchmark::State& state, const std::vector<std::string>& titles) {
  Heard before, after;
  for (auto _ : state) {
    before = Listen(titles, false);
    after = Listen(titles, true);
  }
  state.counters["spread_before_LU"] = before.spread;
  state.counters["spread_after_LU"] = after.spread;
  state.counters["peak_after_dBFS"] = 20.0 * std::log10(after.peak);
}

void BM_LevelledTones(benchmark::State& state) {
  std::vector<std::string> titles;
  for (double dbfs : {-30.0, -20.0, -10.0}) {
    titles.push_back(Encoded("tone" + std::to_string(static_cast<int>(-dbfs)) + ".mp3",
                             demo::SynthesizeTone(1000.0, 20.0, std::pow(10.0, dbfs / 20.0))));
  }
  Report(state, titles);
}
BENCHMARK(BM_LevelledTones)->Unit(benchmark::kMillisecond)->Iterations(1);

void BM_LevelledDemoCollection(benchmark::State& state) {
  const std::string folder = BenchDir() + "/demo";
  std::filesystem::create_directories(folder);
  demo::DemoResult result;
  std::string error;
  if (!demo::WriteDemoCollection(folder, &result, &error)) {
    state.SkipWithError(error.c_str());
    return;
  }
  std::vector<std::string> titles;
  for (std::size_t i = 0; i < demo::DemoTracks().size(); ++i)
    titles.push_back(folder + "/Demo/" + demo::DemoFileName(i));
  Report(state, titles);
}
BENCHMARK(BM_LevelledDemoCollection)->Unit(benchmark::kMillisecond)->Iterations(1);

}  // namespace

BENCHMARK_MAIN();
