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

  // False when every slot is taken.
  bool Attach(AudioChannel* channel);
  // After it returns true, the output thread no longer uses the channel. False
  // when a render block did not finish in time (the caller must keep it alive).
  bool Detach(AudioChannel* channel);

  // With waitForData (a test output's answer for this block) each channel
  // waits, bounded, for its decoder instead of stalling.
  void Render(float* interleaved, int frames, bool waitForData);

  // Frames over which the limiter's gain returns to 1 after the sum stops
  // clipping (50 ms at 44.1 kHz), and over which it may fall ahead of a peak.
  static constexpr int kReleaseFrames = 2205;
  static constexpr int kAttackFrames = 32;

 private:
  // Only a sum beyond full scale is touched: a title alone at full volume must
  // leave exactly as it was decoded. Where channels together would clip, a
  // stereo-linked gain dips just far enough, falls over a few frames ahead of
  // the peak where the block lets it see the peak coming, and recovers slowly,
  // which sounds far better than cutting the tops off.
  void LimitBlock(float* interleaved, int frames);

  std::array<std::atomic<AudioChannel*>, kSlots> slots_{};
  // Odd while a block is being rendered.
  std::atomic<std::uint64_t> renderSeq_{0};
  float limiterGain_ = 1.0f;  // output thread
};

}  // namespace orvela::audio
