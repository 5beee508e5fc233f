#include "playback/audio/mixer.h"

#include <chrono>
#include <cmath>
#include <cstring>
#include <thread>

#include "playback/audio/audio_channel.h"

namespace orvela::audio {

bool Mixer::Attach(AudioChannel* channel) {
  for (auto& slot : slots_) {
    if (slot.load(std::memory_order_acquire) == nullptr) {
      slot.store(channel, std::memory_order_seq_cst);
      return true;
    }
  }
  return false;
}

bool Mixer::Detach(AudioChannel* channel) {
  bool found = false;
  for (auto& slot : slots_) {
    if (slot.load(std::memory_order_acquire) == channel) {
      slot.store(nullptr, std::memory_order_seq_cst);
      found = true;
    }
  }
  if (!found) return true;
  // A block that began before the slot was cleared may still hold the pointer;
  // a block that begins later cannot see it. Waiting for the first suffices.
  const std::uint64_t seq = renderSeq_.load(std::memory_order_seq_cst);
  if ((seq & 1) == 0) return true;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
  while (renderSeq_.load(std::memory_order_seq_cst) == seq) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(std::chrono::microseconds(200));
  }
  return true;
}

float Mixer::Limit(float x) {
  constexpr float kKnee = 0.9f;
  constexpr float kRoom = 1.0f - kKnee;
  const float a = std::fabs(x);
  if (a <= kKnee) return x;
  const float bent = kKnee + kRoom * std::tanh((a - kKnee) / kRoom);
  return std::copysign(bent, x);
}

void Mixer::Render(float* out, int frames) {
  renderSeq_.fetch_add(1, std::memory_order_seq_cst);
  std::memset(out, 0, sizeof(float) * 2 * static_cast<std::size_t>(frames));
  for (auto& slot : slots_) {
    if (AudioChannel* c = slot.load(std::memory_order_seq_cst)) c->MixInto(out, frames, waitForData_);
  }
  for (int i = 0; i < 2 * frames; ++i) out[i] = Limit(out[i]);
  renderSeq_.fetch_add(1, std::memory_order_seq_cst);
}

}  // namespace orvela::audio
