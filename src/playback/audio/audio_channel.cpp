#include "playback/audio/audio_channel.h"

#include <algorithm>
#include <chrono>
#include <cmath>

#include "playback/audio/audio_layer.h"

namespace orvela::audio {
namespace {

// 64 chunks of 1024 frames: about 1.5 s at 44.1 kHz, enough to ride out a slow disk.
constexpr std::size_t kRingChunks = 64;
// While playing on, the decoder fills the ring only this far. The rest is kept
// free for the first chunks after a seek, which must be ready before the mixer
// has thrown the old ones away, or the seek is heard as a gap.
constexpr std::size_t kFillChunks = 48;
// Chunks decoded at a new position before a seek returns: more than one device
// block (1024 frames), so the decoder is well ahead when the mixer gets there.
constexpr int kSeekChunks = 4;
// How long a seek waits for them. A decoder slower than this is a disk that
// would stall the stream anyway; the user-interface thread must not hang on it.
constexpr auto kSeekWait = std::chrono::milliseconds(50);
// A test output waits at most this long for a decoder before rendering silence.
constexpr auto kWaitForDecoder = std::chrono::seconds(20);
constexpr std::uint64_t kPositionMask = (std::uint64_t{1} << 48) - 1;

}  // namespace

AudioChannel::AudioChannel(std::unique_ptr<MediaDecoder> decoder, std::atomic<std::uint32_t>* endWake)
    : decoder_(std::move(decoder)),
      sourceRate_(decoder_->SourceRate()),
      outputRate_(decoder_->OutputRate()),
      estimatedLength_(decoder_->LengthFrames()),
      endWake_(endWake),
      ring_(kRingChunks) {
  thread_ = std::thread([this] { DecoderLoop(); });
}

AudioChannel::~AudioChannel() {
  quit_.store(true, std::memory_order_release);
  WakeDecoder();
  if (thread_.joinable()) thread_.join();
}

void AudioChannel::WakeDecoder() {
  wake_.fetch_add(1, std::memory_order_release);
  wake_.notify_one();
}

// ---------------------------------------------------------------- decoder thread

void AudioChannel::DecoderLoop() {
  std::uint32_t generation = 0;
  bool ended = false;
  bool failed = false;  // the decoder threw; a seek gives it another chance
  int sinceSeek = 0;    // chunks written for this generation
  for (;;) {
    const std::uint32_t seen = wake_.load(std::memory_order_acquire);
    if (quit_.load(std::memory_order_acquire)) return;
    const std::uint32_t requested = generation_.load(std::memory_order_acquire);
    if (requested != generation) {
      generation = requested;
      ended = false;
      failed = false;
      sinceSeek = 0;
      try {
        decoder_->Seek(seekTarget_.load(std::memory_order_acquire));
      } catch (...) {
        failed = true;
      }
    }
    const bool seeking = sinceSeek < kSeekChunks;
    if (!ended && (seeking || ring_.Size() < kFillChunks)) {
      if (AudioChunk* chunk = ring_.BeginWrite()) {
        const std::int64_t start = decoder_->SourcePosition();
        int frames = 0;
        if (!failed) {
          try {
            frames = decoder_->Read(chunk->data, AudioChunk::kFrames);
          } catch (...) {
            // Out of memory in the middle of a file: the stream ends here
            // instead of taking the program down with it.
            failed = true;
            frames = 0;
          }
        }
        chunk->frames = frames;
        chunk->generation = generation;
        chunk->sourceStart = start;
        chunk->sourceFrames = failed ? 0 : decoder_->SourcePosition() - start;
        chunk->endOfStream = failed || frames < AudioChunk::kFrames;
        if (chunk->endOfStream) {
          ended = true;
          if (!failed && decoder_->DecodedWholeStream())
            exactLength_.store(decoder_->SourcePosition(), std::memory_order_release);
        }
        ring_.CommitWrite();
        if (seeking && (++sinceSeek == kSeekChunks || ended))
          seekReady_.store(generation, std::memory_order_release);
        continue;
      }
    }
    wake_.wait(seen, std::memory_order_acquire);
  }
}

// ---------------------------------------------------------------- UI thread

void AudioChannel::Seek(std::int64_t frame) {
  uiSeekTarget_ = frame;
  seekTarget_.store(frame, std::memory_order_release);
  uiGeneration_ = generation_.fetch_add(1, std::memory_order_acq_rel) + 1;
  WakeDecoder();
  // The first blocks at the new position are decoded before the call returns,
  // so the next output block already plays them: no silent gap, and the
  // stream never looks stalled merely because it was moved.
  const auto deadline = std::chrono::steady_clock::now() + kSeekWait;
  while (seekReady_.load(std::memory_order_acquire) != uiGeneration_) {
    if (std::chrono::steady_clock::now() > deadline) return;
    std::this_thread::sleep_for(std::chrono::microseconds(50));
  }
  stalled_.store(false, std::memory_order_release);
}

void AudioChannel::Play(bool restart) {
  if (restart || State() == kEnded) Seek(0);
  stalled_.store(false, std::memory_order_release);
  std::uint64_t s = status_.load(std::memory_order_acquire);
  while (!status_.compare_exchange_weak(s, Pack(EpochOf(s) + 1, kPlay), std::memory_order_acq_rel)) {
  }
}

void AudioChannel::Cue() {
  // Paused before the seek, so the mixer takes no block from the old position
  // meanwhile; counted as a start, so an end reached before it is void.
  std::uint64_t s = status_.load(std::memory_order_acquire);
  while (!status_.compare_exchange_weak(s, Pack(EpochOf(s) + 1, kPause), std::memory_order_acq_rel)) {
  }
  Seek(0);
  stalled_.store(false, std::memory_order_release);
}

bool AudioChannel::Pause() {
  std::uint64_t s = status_.load(std::memory_order_acquire);
  while (StateOf(s) == kPlay) {
    if (status_.compare_exchange_weak(s, Pack(EpochOf(s), kPause), std::memory_order_acq_rel)) return true;
  }
  return false;
}

bool AudioChannel::Stop() {
  // The epoch moves on even for a stream that already ended: that end, not yet
  // handled, no longer counts.
  std::uint64_t s = status_.load(std::memory_order_acquire);
  for (;;) {
    const int state = StateOf(s);
    const int next = (state == kPlay || state == kPause) ? kIdle : state;
    if (status_.compare_exchange_weak(s, Pack(EpochOf(s) + 1, next), std::memory_order_acq_rel)) return true;
  }
}

int AudioChannel::ActiveState() const {
  switch (State()) {
    case kPlay: return stalled_.load(std::memory_order_acquire) ? 2 : 1;
    case kPause: return 3;
    default: return 0;
  }
}

void AudioChannel::SetVolume(float volume) {
  const std::uint32_t seq = cmdSeq_.load(std::memory_order_relaxed);
  cmdSeq_.store(seq + 1, std::memory_order_relaxed);
  std::atomic_thread_fence(std::memory_order_release);
  cmdSet_.store(true, std::memory_order_relaxed);
  cmdSetValue_.store(volume, std::memory_order_relaxed);
  cmdSlide_.store(false, std::memory_order_relaxed);
  cmdSeq_.store(seq + 2, std::memory_order_release);
}

void AudioChannel::SlideVolume(float target, std::uint32_t ms) {
  const std::int64_t frames = static_cast<std::int64_t>(ms) * outputRate_ / 1000;
  if (frames <= 0) {
    SetVolume(target);
    return;
  }
  const std::uint32_t seq = cmdSeq_.load(std::memory_order_relaxed);
  // Once the mixer has taken the last command, an old set must not be replayed.
  const bool consumed = cmdAck_.load(std::memory_order_acquire) == seq;
  cmdSeq_.store(seq + 1, std::memory_order_relaxed);
  std::atomic_thread_fence(std::memory_order_release);
  if (consumed) cmdSet_.store(false, std::memory_order_relaxed);
  cmdSlide_.store(true, std::memory_order_relaxed);
  cmdSlideTarget_.store(target, std::memory_order_relaxed);
  cmdSlideFrames_.store(frames, std::memory_order_relaxed);
  cmdSeq_.store(seq + 2, std::memory_order_release);
}

float AudioChannel::Volume() const {
  const std::uint32_t seq = cmdSeq_.load(std::memory_order_relaxed);
  if (cmdAck_.load(std::memory_order_acquire) != seq && cmdSet_.load(std::memory_order_relaxed))
    return cmdSetValue_.load(std::memory_order_relaxed);
  return volumeNow_.load(std::memory_order_acquire);
}

std::int64_t AudioChannel::PositionFrames() const {
  const std::uint64_t packed = position_.load(std::memory_order_acquire);
  if ((packed >> 48) != (uiGeneration_ & 0xFFFF)) return uiSeekTarget_;
  return static_cast<std::int64_t>(packed & kPositionMask);
}

std::int64_t AudioChannel::LengthFrames() const {
  const std::int64_t exact = exactLength_.load(std::memory_order_acquire);
  return exact >= 0 ? exact : estimatedLength_;
}

void AudioChannel::SetPositionFrames(std::int64_t frame) {
  // A finished stream moved elsewhere waits there, stopped, for the next play.
  std::uint64_t s = status_.load(std::memory_order_acquire);
  while (StateOf(s) == kEnded &&
         !status_.compare_exchange_weak(s, Pack(EpochOf(s), kIdle), std::memory_order_acq_rel)) {
  }
  Seek(frame);
}

void AudioChannel::CopyHistory(float* mono, int n) const {
  const std::uint32_t end = historyWrite_.load(std::memory_order_acquire);
  for (int i = 0; i < n; ++i) {
    mono[i] = history_[(end - static_cast<std::uint32_t>(n) + static_cast<std::uint32_t>(i)) & (kHistory - 1)]
                  .load(std::memory_order_relaxed);
  }
}

// ---------------------------------------------------------------- output thread

void AudioChannel::TakeVolumeCommand() {
  const std::uint32_t seq = cmdSeq_.load(std::memory_order_acquire);
  if (seq == seenCmd_ || (seq & 1)) return;
  const bool set = cmdSet_.load(std::memory_order_relaxed);
  const float setValue = cmdSetValue_.load(std::memory_order_relaxed);
  const bool slide = cmdSlide_.load(std::memory_order_relaxed);
  const float target = cmdSlideTarget_.load(std::memory_order_relaxed);
  const std::int64_t frames = cmdSlideFrames_.load(std::memory_order_relaxed);
  std::atomic_thread_fence(std::memory_order_acquire);
  if (cmdSeq_.load(std::memory_order_relaxed) != seq) return;  // torn; next block
  seenCmd_ = seq;
  if (set) {
    volume_ = setValue;
    rampLeft_ = 0;
  }
  if (slide) {
    rampFrom_ = volume_;
    rampTarget_ = target;
    rampTotal_ = frames;
    rampLeft_ = frames;
  }
  cmdAck_.store(seq, std::memory_order_release);
}

// Each step is computed from the ramp's ends rather than summed, so a long
// slide neither drifts nor misses its target.
void AudioChannel::RampTo(std::int64_t left) {
  rampLeft_ = left;
  if (left <= 0) {
    volume_ = rampTarget_;
    return;
  }
  const double done = static_cast<double>(rampTotal_ - left) / static_cast<double>(rampTotal_);
  volume_ = static_cast<float>(rampFrom_ + (rampTarget_ - rampFrom_) * done);
}

float AudioChannel::NextVolume() {
  if (rampLeft_ > 0) RampTo(rampLeft_ - 1);
  return volume_;
}

void AudioChannel::AdvanceRamp(int frames) {
  if (rampLeft_ > 0) RampTo(std::max<std::int64_t>(0, rampLeft_ - frames));
}

void AudioChannel::PublishPosition(std::uint32_t generation, std::int64_t frame) {
  position_.store((static_cast<std::uint64_t>(generation & 0xFFFF) << 48) |
                      (static_cast<std::uint64_t>(std::max<std::int64_t>(frame, 0)) & kPositionMask),
                  std::memory_order_release);
}

void AudioChannel::DropStaleChunks() {
  const std::uint32_t latest = generation_.load(std::memory_order_acquire);
  if (latest == mixGeneration_) return;
  mixGeneration_ = latest;
  chunkOffset_ = 0;
  while (AudioChunk* chunk = ring_.Front()) {
    if (chunk->generation == latest) break;
    ring_.PopFront();
    WakeDecoder();
  }
}

void AudioChannel::MixInto(float* mix, int frames, bool waitForData) {
  TakeVolumeCommand();
  if (State() != kPlay) {
    DropStaleChunks();  // frees the room the next seek decodes into
    AdvanceRamp(frames);  // slides run in output time, playing or not
    volumeNow_.store(volume_, std::memory_order_release);
    return;
  }
  std::uint32_t generation = generation_.load(std::memory_order_acquire);
  if (generation != mixGeneration_) {
    mixGeneration_ = generation;
    chunkOffset_ = 0;
  }
  std::uint32_t hist = historyWrite_.load(std::memory_order_relaxed);
  const float gainSet = gain_.load(std::memory_order_relaxed);
  float gain = gainSet;
  // A gain of exactly 1 is no levelling: those samples leave as decoded.
  const bool ceiling = gain != 1.0f;
  const float gainFloor = std::min(gainSet, kLevelledCeiling / kLoudestRealSample);
  int done = 0;
  bool ended = false;
  bool starved = false;
  std::chrono::steady_clock::time_point deadline{};
  if (waitForData) deadline = std::chrono::steady_clock::now() + kWaitForDecoder;
  while (done < frames) {
    AudioChunk* chunk = ring_.Front();
    if (!chunk) {
      if (waitForData && std::chrono::steady_clock::now() < deadline &&
          !quit_.load(std::memory_order_acquire)) {
        std::this_thread::sleep_for(std::chrono::microseconds(100));
        continue;
      }
      starved = true;
      break;
    }
    if (chunk->generation != generation) {
      // Either decoded before a seek, or already for a seek made while this
      // block was running: only the first kind is thrown away.
      const std::uint32_t latest = generation_.load(std::memory_order_acquire);
      if (chunk->generation == latest) {
        generation = mixGeneration_ = latest;
        continue;
      }
      ring_.PopFront();
      chunkOffset_ = 0;
      WakeDecoder();
      continue;
    }
    const int avail = chunk->frames - chunkOffset_;
    if (avail <= 0) {
      if (chunk->endOfStream) {
        ended = true;  // the end chunk stays until the end is taken below
        break;
      }
      ring_.PopFront();
      chunkOffset_ = 0;
      WakeDecoder();
      continue;
    }
    const int n = std::min(avail, frames - done);
    const float* src = chunk->data + 2 * chunkOffset_;
    float* dst = mix + 2 * done;
    for (int i = 0; i < n; ++i) {
      // x * 1.0f is x exactly: a title without levelling leaves as decoded.
      float l = src[2 * i] * gain, r = src[2 * i + 1] * gain;
      if (ceiling && std::max(std::fabs(l), std::fabs(r)) > kLevelledCeiling) {
        // Down to exactly the ceiling for this sample, and no higher from here on.
        const float loudest = std::max(std::fabs(src[2 * i]), std::fabs(src[2 * i + 1]));
        gain = std::max(std::nextafter(kLevelledCeiling / loudest, 0.0f), gainFloor);
        l = src[2 * i] * gain;
        r = src[2 * i + 1] * gain;
      }
      const float v = NextVolume();
      dst[2 * i] += l * v;
      dst[2 * i + 1] += r * v;
      history_[hist++ & (kHistory - 1)].store(0.5f * (l + r), std::memory_order_relaxed);
    }
    chunkOffset_ += n;
    done += n;
    const std::int64_t covered = chunk->frames > 0 ? chunk->sourceFrames * chunkOffset_ / chunk->frames : 0;
    PublishPosition(generation, chunk->sourceStart + covered);
  }
  historyWrite_.store(hist, std::memory_order_release);
  if (gain != gainSet) {
    // A gain set meanwhile from the user-interface thread wins; the ceiling
    // holds it too from the next block on.
    float expected = gainSet;
    gain_.compare_exchange_strong(expected, gain, std::memory_order_relaxed);
  }
  if (done < frames) AdvanceRamp(frames - done);
  volumeNow_.store(volume_, std::memory_order_release);
  stalled_.store(starved, std::memory_order_release);
  if (ended) {
    // A pause or stop that raced in wins: the end chunk stays, and the next
    // play reaches the end again instead of stalling on an empty ring.
    std::uint64_t s = status_.load(std::memory_order_acquire);
    bool took = false;
    while (StateOf(s) == kPlay && !took)
      took = status_.compare_exchange_weak(s, Pack(EpochOf(s), kEnded), std::memory_order_acq_rel);
    if (took) {
      endEpoch_.store(EpochOf(s), std::memory_order_release);
      const AudioChunk* last = ring_.Front();
      PublishPosition(generation, last->sourceStart + last->sourceFrames);
      ring_.PopFront();
      chunkOffset_ = 0;
      endPending_.store(true, std::memory_order_release);
      endWake_->fetch_add(1, std::memory_order_release);
      endWake_->notify_one();
    }
  }
}

}  // namespace orvela::audio
