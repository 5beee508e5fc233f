#pragma once
// Sums the attached channels into the output block and keeps the sum inside
// full scale. Render runs on the output thread and never waits (except, for a
// test output, on the decoders); Attach and Detach run on the UI thread.
#include <array>
#include <atomic>
#include <cstdint>

namespace orvela::audio {

class AudioChannel;

class Mixer {
 public:
  static constexpr int kSlots = 64;

  explicit Mixer(bool waitForData) : waitForData_(waitForData) {}

  // False when every slot is taken.
  bool Attach(AudioChannel* channel);
  // After it returns true, the output thread no longer uses the channel. False
  // when a render block did not finish in time (the caller must keep it alive).
  bool Detach(AudioChannel* channel);

  void Render(float* interleaved, int frames);

  // Soft knee above 0.9: quieter material passes unchanged, peaks bend smoothly
  // towards full scale and never beyond it.
  static float Limit(float x);

 private:
  std::array<std::atomic<AudioChannel*>, kSlots> slots_{};
  // Odd while a block is being rendered.
  std::atomic<std::uint64_t> renderSeq_{0};
  const bool waitForData_;
};

}  // namespace orvela::audio
