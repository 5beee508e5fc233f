#pragma once
// Shared fixtures of the audio layer tests: generated files in a temporary
// folder, a layer on the manual output, and small signal measurements.
#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <condition_variable>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <numbers>
#include <random>
#include <string>
#include <vector>

#include "support/manual_output.h"
#include "demo/audio_check.h"
#include "demo/tone_encoder.h"
#include "playback/audio/audio_layer.h"

namespace orvela::audio::testing {

class TempDir {
 public:
  TempDir() {
    std::random_device rd;
    path_ = std::filesystem::temp_directory_path() /
            ("orvela-audio-" + std::to_string(rd()) + "-" + std::to_string(rd()));
    std::filesystem::create_directories(path_);
  }
  ~TempDir() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
  }
  std::string File(const std::string& name) const { return (path_ / name).string(); }

 private:
  std::filesystem::path path_;
};

inline std::string WriteBytes(const std::string& path, const std::string& bytes) {
  std::ofstream f(path, std::ios::binary);
  f.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  return path;
}

// Encodes pcm into dir/name; fails the test when the encoder is missing or fails.
inline std::string Encode(const TempDir& dir, const std::string& name, demo::Format fmt,
                          const demo::Pcm& pcm, const demo::EncodeOptions& opt = {}) {
  const std::string path = dir.File(name);
  std::string error;
  EXPECT_TRUE(demo::EncodeAudio(path, fmt, pcm, opt, &error)) << name << ": " << error;
  return path;
}

// Stereo 16-bit PCM of one constant value: after decoding every sample is value/32768.
inline demo::Pcm ConstantPcm(std::int16_t value, double seconds, int rate = 44100) {
  demo::Pcm pcm;
  pcm.sampleRate = rate;
  pcm.samples.assign(2 * static_cast<std::size_t>(std::lround(seconds * rate)), value);
  return pcm;
}

// Each frame names its own index: left = i mod 16384, right = i / 16384 (as
// 16-bit values), so a rendered frame tells exactly which source frame it was.
inline demo::Pcm CounterPcm(int frames) {
  demo::Pcm pcm;
  pcm.samples.resize(2 * static_cast<std::size_t>(frames));
  for (int i = 0; i < frames; ++i) {
    pcm.samples[2 * i] = static_cast<std::int16_t>(i % 16384);
    pcm.samples[2 * i + 1] = static_cast<std::int16_t>(i / 16384);
  }
  return pcm;
}
inline long FrameIndexAt(const std::vector<float>& mix, std::size_t frame) {
  return std::lround(mix[2 * frame] * 32768.0f) + 16384L * std::lround(mix[2 * frame + 1] * 32768.0f);
}

// Amplitude of the component at hz in the mono mix of frames [begin, end).
inline double ToneAmplitude(const std::vector<float>& mix, std::size_t begin, std::size_t end, double hz,
                            int rate = 44100) {
  double re = 0.0, im = 0.0;
  for (std::size_t i = begin; i < end; ++i) {
    const double m = 0.5 * (mix[2 * i] + mix[2 * i + 1]);
    const double ph = 2.0 * std::numbers::pi * hz * static_cast<double>(i) / rate;
    re += m * std::cos(ph);
    im += m * std::sin(ph);
  }
  return 2.0 * std::hypot(re, im) / static_cast<double>(end - begin);
}

inline double Peak(const std::vector<float>& mix) {
  double p = 0.0;
  for (float s : mix) p = std::max(p, static_cast<double>(std::fabs(s)));
  return p;
}

// Counts end notifications arriving on the layer's thread.
class SyncCounter {
 public:
  SyncProc Proc() {
    return [this](Handle sync, Handle channel, std::uint32_t) {
      std::lock_guard lock(m_);
      ++count_;
      lastSync_ = sync;
      lastChannel_ = channel;
      cv_.notify_all();
    };
  }
  // True once at least n notifications have arrived (bounded wait).
  bool WaitFor(int n) {
    std::unique_lock lock(m_);
    return cv_.wait_for(lock, std::chrono::seconds(20), [&] { return count_ >= n; });
  }
  int count() {
    std::lock_guard lock(m_);
    return count_;
  }
  Handle lastChannel() {
    std::lock_guard lock(m_);
    return lastChannel_;
  }

 private:
  std::mutex m_;
  std::condition_variable cv_;
  int count_ = 0;
  Handle lastSync_ = 0, lastChannel_ = 0;
};

// A layer on the manual output, initialised at 44100 Hz.
struct ManualLayer {
  ManualOutput* out;
  AudioLayer layer;
  ManualLayer() : ManualLayer(std::make_unique<ManualOutput>()) {}
  explicit ManualLayer(std::unique_ptr<ManualOutput> o) : out(o.get()), layer(std::move(o)) {
    EXPECT_TRUE(layer.Init(-1, 44100));
  }
  std::vector<float> Render(int frames) { return out->Render(frames); }
  // Renders blocks until the channel is no longer active (bounded); all of it.
  std::vector<float> PlayToEnd(Handle h, double maxSeconds = 120.0) {
    std::vector<float> all;
    const int block = 4096;
    for (double t = 0; t < maxSeconds && layer.ChannelIsActive(h) != kStopped; t += block / 44100.0) {
      const auto b = out->Render(block);
      all.insert(all.end(), b.begin(), b.end());
    }
    return all;
  }
};

// Frames until the last non-silent one (a stream that ended renders silence after it).
inline std::size_t AudibleFrames(const std::vector<float>& mix) {
  for (std::size_t f = mix.size() / 2; f > 0; --f)
    if (mix[2 * f - 2] != 0.0f || mix[2 * f - 1] != 0.0f) return f;
  return 0;
}

}  // namespace orvela::audio::testing
