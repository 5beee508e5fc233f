#pragma once
// One playing stream: a decoder thread filling a chunk ring, and the state the
// mixer reads sample by sample. Three parties touch it and each owns its part:
// the user-interface thread (commands), the decoder thread (the ring's write
// end) and the output thread (the ring's read end, volume, position). They meet
// only through atomics, so the output thread never waits for anyone.
#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <thread>

#include "playback/audio/chunk_ring.h"
#include "playback/audio/media_decoder.h"

namespace orvela::audio {

class AudioChannel {
 public:
  // endWake is bumped and notified when the channel plays to its end.
  AudioChannel(std::unique_ptr<MediaDecoder> decoder, std::atomic<std::uint32_t>* endWake);
  ~AudioChannel();
  AudioChannel(const AudioChannel&) = delete;
  AudioChannel& operator=(const AudioChannel&) = delete;

  // ---- user-interface thread
  void Play(bool restart);
  // Paused at the beginning, never having been heard: Play without restart
  // starts it there.
  void Cue();
  bool Pause();
  bool Stop();
  int ActiveState() const;  // 0 stopped, 1 playing, 2 stalled, 3 paused
  // Counts Play and Stop calls. An end carries the count it was reached under,
  // so whoever handles the end later can tell whether a stop or a new start
  // came after it, however long the report took to arrive.
  std::uint32_t Epoch() const { return EpochOf(status_.load(std::memory_order_acquire)); }
  void SetVolume(float volume);
  void SlideVolume(float target, std::uint32_t ms);
  float Volume() const;
  // Factor on the decoded samples, before the volume; takes effect with the
  // next output block. Any gain but 1 is held under kLevelledCeiling by the
  // output thread, which lowers it (and keeps it lowered) where a sample would
  // pass the ceiling.
  void SetGain(float gain) { gain_.store(gain, std::memory_order_relaxed); }
  float Gain() const { return gain_.load(std::memory_order_relaxed); }
  std::int64_t PositionFrames() const;  // source-rate frames
  std::int64_t LengthFrames() const;
  void SetPositionFrames(std::int64_t frame);
  int SourceRate() const { return sourceRate_; }
  // The last n (<= kHistory / 2) mono samples the output took from this channel.
  void CopyHistory(float* mono, int n) const;

  // ---- output thread
  // Adds `frames` frames of this channel into mix. With waitForData the call
  // waits (bounded) for the decoder instead of stalling: only for test outputs.
  void MixInto(float* mix, int frames, bool waitForData);

  // ---- notifier thread: true once for each time the channel played to its end,
  // with the epoch the end was reached under.
  bool TakeEndEvent(std::uint32_t* epoch) {
    if (!endPending_.exchange(false, std::memory_order_acq_rel)) return false;
    *epoch = endEpoch_.load(std::memory_order_acquire);
    return true;
  }
  void DiscardEndEvent() { endPending_.store(false, std::memory_order_release); }

  static constexpr int kHistory = 4096;

 private:
  enum State : int { kIdle = 0, kPlay = 1, kPause = 3, kEnded = 4 };
  // State and epoch share one atomic word, so the output thread's step from
  // playing to ended records exactly the epoch it ended under: a Stop either
  // comes before that step (and there is no end) or after it (and bumps the
  // epoch past the recorded one).
  static int StateOf(std::uint64_t status) { return static_cast<int>(status & 0xFF); }
  static std::uint32_t EpochOf(std::uint64_t status) { return static_cast<std::uint32_t>(status >> 8); }
  static std::uint64_t Pack(std::uint32_t epoch, int state) {
    return (static_cast<std::uint64_t>(epoch) << 8) | static_cast<std::uint64_t>(state);
  }
  int State() const { return StateOf(status_.load(std::memory_order_acquire)); }
  void DecoderLoop();
  void WakeDecoder();
  void Seek(std::int64_t frame);
  void TakeVolumeCommand();   // output thread
  float NextVolume();         // output thread: one sample step of the ramp
  void RampTo(std::int64_t left);
  void AdvanceRamp(int frames);
  void PublishPosition(std::uint32_t generation, std::int64_t frame);
  void DropStaleChunks();  // output thread, while not playing

  std::unique_ptr<MediaDecoder> decoder_;  // decoder thread only
  const int sourceRate_;
  const int outputRate_;
  const std::int64_t estimatedLength_;
  std::atomic<std::int64_t> exactLength_{-1};
  std::atomic<std::uint32_t>* endWake_;

  ChunkRing ring_;
  std::thread thread_;
  std::atomic<std::uint32_t> wake_{0};
  std::atomic<bool> quit_{false};

  // Seek requests: target first, then the generation (release).
  std::atomic<std::int64_t> seekTarget_{0};
  std::atomic<std::uint32_t> generation_{0};
  std::uint32_t uiGeneration_ = 0;    // UI copy
  // The last generation whose first chunks the decoder has written.
  std::atomic<std::uint32_t> seekReady_{0};
  std::int64_t uiSeekTarget_ = 0;     // UI copy

  std::atomic<std::uint64_t> status_{Pack(0, kIdle)};
  std::atomic<std::uint32_t> endEpoch_{0};
  std::atomic<bool> stalled_{false};
  std::atomic<bool> endPending_{false};
  // Generation (high 16 bits) and frame position the output has reached.
  std::atomic<std::uint64_t> position_{0};

  // Volume commands from the UI, published under a sequence lock. A set
  // cancels a slide; a slide queued behind an unconsumed set starts from it.
  std::atomic<std::uint32_t> cmdSeq_{0};
  std::atomic<bool> cmdSet_{false};
  std::atomic<float> cmdSetValue_{1.0f};
  std::atomic<bool> cmdSlide_{false};
  std::atomic<float> cmdSlideTarget_{1.0f};
  std::atomic<std::int64_t> cmdSlideFrames_{0};
  std::atomic<std::uint32_t> cmdAck_{0};
  std::atomic<float> volumeNow_{1.0f};
  std::atomic<float> gain_{1.0f};

  // Output-thread state.
  std::uint32_t mixGeneration_ = 0;
  int chunkOffset_ = 0;
  std::uint32_t seenCmd_ = 0;
  float volume_ = 1.0f;
  float rampFrom_ = 1.0f;
  float rampTarget_ = 1.0f;
  std::int64_t rampTotal_ = 0;
  std::int64_t rampLeft_ = 0;
  std::array<std::atomic<float>, kHistory> history_{};
  std::atomic<std::uint32_t> historyWrite_{0};
};

}  // namespace orvela::audio
