// Opening files built to hurt the pre-scan: how long StreamCreateFile (with the
// pre-scan flag) holds the calling thread (worst_ms), how much memory the
// process gains meanwhile (peak_gain_MB: resident peak over the resident size
// before), how much it reads (read_MB) and how many bytes the frame index keeps
// (index_KB; indexed=0 where the file plays through FFmpeg's own seeking).
//
//   MinimalFrames64MiB  64 MiB of the smallest MPEG frames there are (24 bytes:
//                       MPEG-2 Layer III, 8 kbit/s, 24 kHz), 2.8 million of them
//   ZeroTail2GiB        a real one-minute MP3 followed by 2 GiB of zeros (sparse)
//   WalkLimitFrames     as many minimal frames as a walk takes (the worst case
//                       that is still indexed)
//   WalkLimitBytes      as many bytes of the largest frames as a walk takes
//   Normal10MB          an ordinary 11-minute MP3 at 128 kbit/s, for comparison
//
// The files are made once in the temporary folder and kept for later runs.
#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "demo/tone_encoder.h"
#include "playback/audio/audio_layer.h"
#include "playback/audio/media_decoder.h"
#include "playback/audio/mpeg_index.h"
#include "support/manual_output.h"

namespace {

using namespace orvela;
using audio::AudioLayer;
using audio::Handle;

std::string BenchDir() {
  const auto dir = std::filesystem::temp_directory_path() / "orvela-bench-hostile";
  std::filesystem::create_directories(dir);
  return dir.string();
}

// Kilobytes from a line of /proc/self/status ("VmRSS:", "VmHWM:").
long StatusKb(const char* key) {
  std::ifstream status("/proc/self/status");
  std::string line;
  const std::string prefix = std::string(key) + ":";
  while (std::getline(status, line)) {
    if (line.rfind(prefix, 0) == 0) return std::stol(line.substr(prefix.size()));
  }
  return -1;
}

// Bytes this process has read from files so far (the kernel's count).
double BytesReadSoFar() {
  std::ifstream io("/proc/self/io");
  std::string key;
  double value = 0;
  while (io >> key >> value) {
    if (key == "rchar:") return value;
  }
  return -1;
}

// Resets the peak resident size to the present one (Linux 4.0 and later).
void ResetPeak() {
  std::ofstream("/proc/self/clear_refs") << "5";
}

// A file of `count` copies of one frame: header bytes and zero payload.
std::string FramesFile(const std::string& name, std::uint8_t b1, std::uint8_t b2, std::uint8_t b3,
                       std::size_t frameBytes, std::size_t count) {
  const std::string path = BenchDir() + "/" + name;
  if (std::filesystem::exists(path) && std::filesystem::file_size(path) == frameBytes * count) return path;
  std::vector<char> block(frameBytes * 4096, '\0');
  for (std::size_t f = 0; f < 4096; ++f) {
    block[f * frameBytes] = static_cast<char>(0xFF);
    block[f * frameBytes + 1] = static_cast<char>(b1);
    block[f * frameBytes + 2] = static_cast<char>(b2);
    block[f * frameBytes + 3] = static_cast<char>(b3);
  }
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  for (std::size_t done = 0; done < count; done += 4096) {
    const std::size_t n = std::min<std::size_t>(4096, count - done);
    out.write(block.data(), static_cast<std::streamsize>(n * frameBytes));
  }
  return path;
}

// MPEG-2 Layer III, 8 kbit/s, 24 kHz, mono: 24 bytes a frame.
std::string MinimalFrames(const std::string& name, std::size_t count) {
  return FramesFile(name, 0xF3, 0x14, 0xC0, 24, count);
}

std::string EncodedMp3(const std::string& name, double seconds) {
  const std::string path = BenchDir() + "/" + name;
  if (std::filesystem::exists(path)) return path;
  std::vector<demo::Note> notes;
  for (int i = 0; i < static_cast<int>(seconds * 4); ++i)
    notes.push_back({demo::MidiNoteFrequency(48 + (i * 7) % 36), 0.25, 0.4});
  std::string error;
  if (!demo::EncodeAudio(path, demo::Format::Mp3, demo::SynthesizeMelody(notes), {}, &error))
    throw std::runtime_error("encoding " + name + ": " + error);
  return path;
}

std::string ZeroTail() {
  const std::string path = BenchDir() + "/zero_tail_2GiB.mp3";
  if (std::filesystem::exists(path)) return path;
  const std::string mp3 = EncodedMp3("one_minute.mp3", 60.0);
  std::filesystem::copy_file(mp3, path, std::filesystem::copy_options::overwrite_existing);
  std::filesystem::resize_file(path, std::filesystem::file_size(mp3) + (std::uintmax_t{2} << 30));
  return path;
}

void MeasureOpen(benchmark::State& state, const std::string& path) {
  auto output = std::make_unique<audio::ManualOutput>();
  AudioLayer layer(std::move(output));
  layer.Init(-1, 44100);
  double worst = 0.0;
  long peakGainKb = 0;
  double lengthSeconds = 0.0;
  double readBytes = 0.0;
  for (auto _ : state) {
    ResetPeak();
    const long before = StatusKb("VmRSS");
    const double readBefore = BytesReadSoFar();
    const auto t0 = std::chrono::steady_clock::now();
    const Handle h = layer.StreamCreateFile(path, audio::kFlagPrescan);
    const double s = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    peakGainKb = std::max(peakGainKb, StatusKb("VmHWM") - before);
    readBytes = std::max(readBytes, BytesReadSoFar() - readBefore);
    if (h == 0) {
      state.SkipWithError("the file did not open");
      return;
    }
    lengthSeconds = layer.ChannelBytes2Seconds(h, layer.ChannelGetLength(h));
    state.SetIterationTime(s);
    worst = std::max(worst, s);
    layer.StreamFree(h);
  }
  const auto decoder = audio::MediaDecoder::Open(path, audio::MediaDecoder::Kind::kStream, true, 44100);
  state.counters["file_MB"] = static_cast<double>(std::filesystem::file_size(path)) / 1e6;
  state.counters["worst_ms"] = worst * 1000.0;
  state.counters["peak_gain_MB"] = static_cast<double>(peakGainKb) / 1024.0;
  state.counters["read_MB"] = readBytes / 1e6;
  state.counters["index_KB"] = decoder ? static_cast<double>(decoder->Index().MemoryBytes()) / 1024.0 : -1.0;
  state.counters["indexed"] = decoder && decoder->Indexed() ? 1 : 0;
  state.counters["length_s"] = lengthSeconds;
}

void MinimalFrames64MiB(benchmark::State& state) {
  MeasureOpen(state, MinimalFrames("minimal_64MiB.mp3", (std::size_t{64} << 20) / 24));
}
BENCHMARK(MinimalFrames64MiB)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(10);

void ZeroTail2GiB(benchmark::State& state) { MeasureOpen(state, ZeroTail()); }
BENCHMARK(ZeroTail2GiB)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(10);

void WalkLimitFrames(benchmark::State& state) {
  using audio::MpegIndex;
  MeasureOpen(state, MinimalFrames("minimal_walk_limit.mp3", MpegIndex::kWalkBudget / (24 + MpegIndex::kWalkFrameCost)));
}
BENCHMARK(WalkLimitFrames)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(10);

void WalkLimitBytes(benchmark::State& state) {
  // MPEG-1 Layer III at 320 kbit/s and 32 kHz: 1440 bytes a frame.
  using audio::MpegIndex;
  const std::size_t frames = MpegIndex::kWalkBudget / (1440 + MpegIndex::kWalkFrameCost);
  MeasureOpen(state, FramesFile("largest_walk_limit.mp3", 0xFB, 0xE8, 0x00, 1440, frames));
}
BENCHMARK(WalkLimitBytes)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(10);

void Normal10MB(benchmark::State& state) { MeasureOpen(state, EncodedMp3("normal_10MB.mp3", 655.0)); }
BENCHMARK(Normal10MB)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(10);

}  // namespace

BENCHMARK_MAIN();
