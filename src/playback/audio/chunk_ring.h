#pragma once
// Single-producer single-consumer ring of fixed-size audio chunks between a
// decoder thread and the mixer. Both ends are wait-free: the mixer never blocks
// on it, and all memory is allocated before the channel reaches the mixer.
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>

namespace orvela::audio {

struct AudioChunk {
  static constexpr int kFrames = 1024;
  // Seek generation the chunk was decoded for; the mixer drops older ones.
  std::uint32_t generation = 0;
  int frames = 0;
  // Last chunk of the stream (may hold no frames).
  bool endOfStream = false;
  // Source-rate frame position of the first frame, for the position report.
  std::int64_t sourceStart = 0;
  // Source frames the chunk covers (differs from `frames` when resampled).
  std::int64_t sourceFrames = 0;
  float data[kFrames * 2];
};

class ChunkRing {
 public:
  // capacity must be a power of two.
  explicit ChunkRing(std::size_t capacity)
      : slots_(std::make_unique<AudioChunk[]>(capacity)), mask_(capacity - 1) {}

  // Producer: the slot to fill next, or nullptr while the ring is full.
  AudioChunk* BeginWrite() {
    const std::uint64_t head = head_.load(std::memory_order_relaxed);
    if (head - tail_.load(std::memory_order_acquire) > mask_) return nullptr;
    return &slots_[head & mask_];
  }
  void CommitWrite() { head_.store(head_.load(std::memory_order_relaxed) + 1, std::memory_order_release); }

  // Consumer: the oldest chunk, or nullptr while the ring is empty.
  AudioChunk* Front() {
    const std::uint64_t tail = tail_.load(std::memory_order_relaxed);
    if (tail == head_.load(std::memory_order_acquire)) return nullptr;
    return &slots_[tail & mask_];
  }
  void PopFront() { tail_.store(tail_.load(std::memory_order_relaxed) + 1, std::memory_order_release); }

  // Any thread; a snapshot.
  std::size_t Size() const {
    return static_cast<std::size_t>(head_.load(std::memory_order_acquire) -
                                    tail_.load(std::memory_order_acquire));
  }
  std::size_t Capacity() const { return mask_ + 1; }

 private:
  std::unique_ptr<AudioChunk[]> slots_;
  std::size_t mask_;
  alignas(64) std::atomic<std::uint64_t> head_{0};
  alignas(64) std::atomic<std::uint64_t> tail_{0};
};

}  // namespace orvela::audio
